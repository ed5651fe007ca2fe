// Hashing of node names for the name tables of scene nodes. A search that looks one name up in
// many tables (FindChild over a tree) hashes it once and hands the tables a HashedName.
// Plain strings still work as keys; std::hash of a string and of its view are the same value.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

struct HashedName {
    explicit HashedName(std::string_view name) : Name(name), Hash(std::hash<std::string_view>{}(name)) {}

    std::string_view Name;
    size_t Hash;
};

struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    size_t operator()(const HashedName& name) const { return name.Hash; }
};

struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return a == b; }
    bool operator()(const HashedName& a, std::string_view b) const { return a.Name == b; }
    bool operator()(std::string_view a, const HashedName& b) const { return a == b.Name; }
};
