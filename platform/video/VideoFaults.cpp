#include "platform/video/VideoFaults.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace VideoFaults {

namespace {

std::mutex lock;
std::vector<std::pair<std::string, HRESULT>> armed;
std::vector<std::pair<IID, HRESULT>> queries;

template <class Key>
bool TakeFrom(std::vector<std::pair<Key, HRESULT>>& list, const Key& key, HRESULT& result) {
    std::lock_guard guard(lock);
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& f) { return f.first == key; });
    if (it == list.end()) {
        return false;
    }
    result = it->second;
    list.erase(it);
    return true;
}

}  // namespace

void FailNext(const std::string& call, HRESULT result) {
    std::lock_guard guard(lock);
    armed.emplace_back(call, result);
}

void FailQuery(const IID& iid, HRESULT result) {
    std::lock_guard guard(lock);
    queries.emplace_back(iid, result);
}

void Clear() {
    std::lock_guard guard(lock);
    armed.clear();
    queries.clear();
}

bool Take(const char* call, HRESULT& result) { return TakeFrom(armed, std::string(call), result); }

bool TakeQuery(const IID& iid, HRESULT& result) { return TakeFrom(queries, iid, result); }

HRESULT Query(REFIID riid, void** object, std::initializer_list<QueryAnswer> answers) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    HRESULT injected = S_OK;
    if (TakeQuery(riid, injected)) {
        return injected;
    }
    for (const QueryAnswer& answer : answers) {
        if (answer.iid == riid && answer.object != nullptr) {
            *object = answer.object;
            answer.object->AddRef();
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

}  // namespace VideoFaults
