// The race camera's first view: what sprites face and fade by. The race camera sets it when
// it is made and clears it when it goes; null while there is none, and then sprites stay
// hidden.
#pragma once

class CPPerspectiveCamera;

extern CPPerspectiveCamera* MainView;
