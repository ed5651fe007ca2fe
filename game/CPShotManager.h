// The shots of a race: the launched ones and the pool of set-up shots by type name.
//
// minimal until the full one lands: the singleton the host creates and clears.
#pragma once

// minimal until the full one lands
class CPShotManager {
public:
    CPShotManager() = default;
    CPShotManager(const CPShotManager&) = delete;
    CPShotManager& operator=(const CPShotManager&) = delete;

    // The manager of the running game, or null; set by the host.
    static inline CPShotManager* Instance = nullptr;
};

CPShotManager* GetShotManager();
