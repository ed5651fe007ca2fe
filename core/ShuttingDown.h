// The process-wide flag of a program that is ending: the launcher's entry point sets it once
// the launcher has run, before the application object goes. The script functions that change
// interface texts do nothing while it is set.
#pragma once

extern bool ShuttingDown;
