#pragma once
// Resource ids shared by quorvel.rc and the program.

// The application icon. The lowest icon id is the one the shell shows for the program file.
#define IDI_APP 1
