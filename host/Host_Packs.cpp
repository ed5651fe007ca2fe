// The host's part in data files: telling the engine which pack files the game folder holds.
#include "host/Host.h"

#include "core/PackFiles.h"

int Host::AddPackFiles(const std::string& pattern) { return ::AddPackFiles(pattern); }
