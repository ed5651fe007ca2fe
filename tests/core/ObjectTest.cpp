#include "core/CPObject.h"
#include "core/CPtr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

class Thing : public CPObject {
public:
    explicit Thing(int* deaths = nullptr) : deaths(deaths) {}
    ~Thing() override {
        if (deaths != nullptr) {
            ++*deaths;
        }
    }
    size_t GetObjectSize() const override { return sizeof(*this); }
    std::string GetTypeName() const override { return "Thing"; }
    int value = 7;

private:
    int* deaths;
};

class Derived : public Thing {
public:
    std::string GetTypeName() const override { return "Derived"; }
};

bool InRegistry(const CPObject* object) {
    const auto& r = CPObject::Registry();
    return std::find(r.begin(), r.end(), object) != r.end();
}

TEST(CPObject, ReleaseZeroesTheCountAndFreesNothing) {
    int deaths = 0;
    Thing thing(&deaths);
    EXPECT_EQ(thing.GetRefCount(), 0);
    {
        CPtr<Thing> a(&thing);
        CPtr<Thing> b = a;
        EXPECT_EQ(thing.GetRefCount(), 2);
        {
            CPtr<Thing> c = b;
        }
        // Release resets to zero instead of decrementing.
        EXPECT_EQ(thing.GetRefCount(), 0);
        EXPECT_EQ(a->value, 7);
    }
    EXPECT_EQ(deaths, 0);
}

TEST(CPObject, SelfAssignmentReleasesThenAdds) {
    Thing thing;
    CPtr<Thing> p(&thing);
    p->AddRef();
    ASSERT_EQ(thing.GetRefCount(), 2);
    p = p;
    EXPECT_EQ(thing.GetRefCount(), 1);
    p = &thing;
    EXPECT_EQ(thing.GetRefCount(), 1);
}

TEST(CPObject, NullPointerOperations) {
    CPtr<Thing> empty;
    CPtr<Thing> copy = empty;
    copy = empty;
    copy = nullptr;
    EXPECT_FALSE(copy);
    EXPECT_EQ(copy.Get(), nullptr);
}

TEST(CPObject, DerivedConvertsToBaseAndMakeNullDoesNotRelease) {
    Derived derived;
    CPtr<Derived> d(&derived);
    CPtr<Thing> t = d;
    CPtr<CPObject> o;
    o = t;
    EXPECT_EQ(derived.GetRefCount(), 3);
    EXPECT_EQ(o->GetTypeName(), "Derived");
    o.MakeNull();
    EXPECT_EQ(derived.GetRefCount(), 3);
    EXPECT_FALSE(o);
}

TEST(CPObject, RegistryKeepsDeletedObjects) {
    int deaths = 0;
    auto* thing = new Thing(&deaths);
    const CPObject* address = thing;
    EXPECT_TRUE(InRegistry(address));
    delete thing;
    EXPECT_EQ(deaths, 1);
    EXPECT_TRUE(InRegistry(address));
}

TEST(CPObject, LiveSetFollowsConstructionAndDestruction) {
    const size_t before = CPObject::LiveCount();
    auto* thing = new Thing();
    Derived derived;
    const void* address = static_cast<CPObject*>(thing);
    EXPECT_EQ(CPObject::FindLive(address), thing);
    EXPECT_EQ(CPObject::FindLive(static_cast<CPObject*>(&derived)), &derived);
    EXPECT_EQ(CPObject::LiveCount(), before + 2);
    // An address inside an object, or none at all, is not an object.
    EXPECT_EQ(CPObject::FindLive(reinterpret_cast<const char*>(address) + 1), nullptr);
    EXPECT_EQ(CPObject::FindLive(nullptr), nullptr);
    delete thing;
    EXPECT_EQ(CPObject::FindLive(address), nullptr);
    EXPECT_EQ(CPObject::LiveCount(), before + 1);
}

// Thousands of objects (the set grows several times), freed in a scattered order: every one
// still alive is found, every freed one is not, whatever entries moved when others went.
TEST(CPObject, LiveSetHoldsThroughManyBirthsAndDeaths) {
    const size_t before = CPObject::LiveCount();
    std::vector<std::unique_ptr<Thing>> things;
    for (int i = 0; i < 10000; ++i) {
        things.push_back(std::make_unique<Thing>());
    }
    std::vector<const void*> freed;
    for (size_t i = 0; i < things.size(); i += 3) {
        const size_t k = (i * 7919) % things.size();
        if (things[k] != nullptr) {
            freed.push_back(static_cast<CPObject*>(things[k].get()));
            things[k].reset();
        }
    }
    size_t alive = 0;
    for (const auto& thing : things) {
        if (thing != nullptr) {
            ++alive;
            ASSERT_EQ(CPObject::FindLive(static_cast<CPObject*>(thing.get())), thing.get());
        }
    }
    EXPECT_EQ(CPObject::LiveCount(), before + alive);
    for (const void* address : freed) {
        EXPECT_EQ(CPObject::FindLive(address), nullptr);
    }
    things.clear();
    EXPECT_EQ(CPObject::LiveCount(), before);
}

TEST(CPObject, DeletePendingSkipsNullAndEmpties) {
    CPObject::DeletePending();  // empty list: nothing happens
    int deaths = 0;
    CPObject::PendingDelete().push_back(new Thing(&deaths));
    CPObject::PendingDelete().push_back(nullptr);
    CPObject::PendingDelete().push_back(new Thing(&deaths));
    CPObject::DeletePending();
    EXPECT_EQ(deaths, 2);
    EXPECT_TRUE(CPObject::PendingDelete().empty());
}

}  // namespace
