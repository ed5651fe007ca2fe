#include "platform/win32/Clock.h"
#include "platform/win32/Com.h"
#include "platform/win32/CrtRand.h"
#include "platform/win32/WinTypes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(CrtRand, KnownSequenceAndReseed) {
    CrtSrand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) {
        EXPECT_EQ(CrtRand(), value);
    }
    CrtSrand(1);
    EXPECT_EQ(CrtRand(), 41);
    CrtSrand(12345);
    for (int i = 0; i < 1000; ++i) {
        const int v = CrtRand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, CRT_RAND_MAX);
    }
}

TEST(Clock, ManualTimeAdvancesOnlyWhenTold) {
    PlatformClock::UseManual(5000);
    EXPECT_EQ(timeGetTime(), 5u);
    LARGE_INTEGER frequency{}, count{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000);
    QueryPerformanceCounter(&count);
    EXPECT_EQ(count.QuadPart, 5000);
    PlatformClock::AdvanceMilliseconds(250);
    Sleep(10);
    EXPECT_EQ(timeGetTime(), 265u);
    EXPECT_EQ(PlatformClock::SleptMilliseconds(), 10u);
    // The millisecond clock wraps at 2^32 like the real one.
    PlatformClock::UseManual((uint64_t{1} << 32) * 1000 + 7000);
    EXPECT_EQ(timeGetTime(), 7u);
    PlatformClock::UseReal();
    EXPECT_FALSE(PlatformClock::IsManual());
}

TEST(Clock, LocalTimeIsTheHostsUnlessATestFixesIt) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_GE(now.wYear, 2000);
    EXPECT_TRUE(now.wMonth >= 1 && now.wMonth <= 12 && now.wDay >= 1 && now.wDay <= 31 && now.wDayOfWeek <= 6);
    EXPECT_TRUE(now.wHour <= 23 && now.wMinute <= 59 && now.wSecond <= 59 && now.wMilliseconds <= 999);
    const SYSTEMTIME fixed{2001, 2, 6, 3, 4, 5, 6, 7};
    PlatformClock::FixLocalTime(fixed);
    SYSTEMTIME read{};
    GetLocalTime(&read);
    EXPECT_EQ(std::memcmp(&read, &fixed, sizeof(fixed)), 0);
    PlatformClock::UseReal();
    GetLocalTime(&read);
    EXPECT_GE(read.wYear, 2000);
    EXPECT_NE(read.wYear, 2001);
}

TEST(WinTypes, ResultCodes) {
    EXPECT_EQ(static_cast<uint32_t>(E_FAIL), 0x80004005u);
    EXPECT_EQ(static_cast<uint32_t>(E_NOTIMPL), 0x80004001u);
    EXPECT_EQ(static_cast<uint32_t>(E_NOINTERFACE), 0x80004002u);
    EXPECT_TRUE(FAILED(E_INVALIDARG));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    GUID a{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    GUID b = a;
    EXPECT_EQ(a, b);
    b.Data4[7] = 0;
    EXPECT_NE(a, b);
}

struct IThing : IUnknown {};
class Thing : public ComObject<IThing> {
public:
    explicit Thing(bool* gone) : gone(gone) {}
    ~Thing() override { *gone = true; }
    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }

private:
    bool* gone;
};

TEST(Com, CountingDeletesAtZero) {
    bool gone = false;
    IThing* thing = new Thing(&gone);
    EXPECT_EQ(thing->AddRef(), 2u);
    EXPECT_EQ(thing->Release(), 1u);
    SafeRelease(thing);
    EXPECT_TRUE(gone);
    EXPECT_EQ(thing, nullptr);
}

}  // namespace

#include "platform/win32/TextCodec.h"

namespace {

TEST(TextCodec, AnsiToUtf16) {
    const char text[] = "Data\\a\x80\xE9";
    WCHAR wide[16] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 9);
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 16), 9);
    EXPECT_EQ(wide[5], u'a');
    EXPECT_EQ(wide[6], 0x20AC);  // euro sign
    EXPECT_EQ(wide[7], 0x00E9);
    EXPECT_EQ(wide[8], 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 4), 0);
    EXPECT_EQ(WideToUtf8(AnsiToWide("\x80x")), "\xE2\x82\xAC" "x");
}

}  // namespace

#include "platform/win32/CallTrace.h"
#include "platform/win32/ComRuntime.h"

namespace {

constexpr CLSID CLSID_Test = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};

TEST(ComRuntime, CreatesRegisteredClassesOnlyAfterInit) {
    bool gone = false;
    ComRuntime::RegisterClass(CLSID_Test, [&] { return new Thing(&gone); });
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_IUnknown, &object), CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);

    CallTrace::Clear();
    CallTrace::Enable(true);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    // The stand-in answers no interface: the created object is released again.
    EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_IUnknown, &object), E_NOINTERFACE);
    EXPECT_TRUE(gone);
    EXPECT_EQ(CoCreateInstance(GUID{}, nullptr, CLSCTX_ALL, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
    ComRuntime::FailNextCreate(E_OUTOFMEMORY);
    EXPECT_EQ(CoCreateInstance(CLSID_Test, nullptr, CLSCTX_ALL, IID_IUnknown, &object), E_OUTOFMEMORY);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(ComRuntime::InitCount(), 0);
    CallTrace::Enable(false);
    const std::vector<std::string> expected = {"CoInitialize", "CoInitialize", "CoUninitialize", "CoUninitialize"};
    EXPECT_EQ(CallTrace::Calls(), expected);
    ComRuntime::UnregisterClass(CLSID_Test);
}

}  // namespace
