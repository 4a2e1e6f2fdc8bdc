// Ids of the resources in Tarnvik.exe, shared by tarnvik.rc and the code.
#ifndef TARNVIK_UI_RESOURCES_H
#define TARNVIK_UI_RESOURCES_H

// The lowest icon id is the one Explorer shows for the file.
#define IDI_TARNVIK 1

#endif
