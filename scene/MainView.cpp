#include "scene/MainView.h"

CPPerspectiveCamera* MainView = nullptr;
