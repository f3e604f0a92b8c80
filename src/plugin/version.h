// The release number, the one place to change it: the DLL's version
// resource and the release archive's name are made from these three
// numbers. (The description the player lists keeps the plug-in's name as
// it has always been, "DOR Odiride v0.5".)
#pragma once

#define VIVU_VERSION_MAJOR 0
#define VIVU_VERSION_MINOR 10
#define VIVU_VERSION_PATCH 0

#define VIVU_TEXT_OF(number) #number
#define VIVU_TEXT(number) VIVU_TEXT_OF(number)
#define VIVU_VERSION_TEXT \
    VIVU_TEXT(VIVU_VERSION_MAJOR) "." VIVU_TEXT(VIVU_VERSION_MINOR) "." VIVU_TEXT(VIVU_VERSION_PATCH)
