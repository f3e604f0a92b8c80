// The release number, the one place to change it: the description the
// player lists, the DLL's version resource and the release archive's name
// are all made from these three numbers.
#pragma once

#define VIVU_VERSION_MAJOR 0
#define VIVU_VERSION_MINOR 5
#define VIVU_VERSION_PATCH 0

#define VIVU_TEXT_OF(number) #number
#define VIVU_TEXT(number) VIVU_TEXT_OF(number)
// The player shows two numbers in the plug-in's description.
#define VIVU_VERSION_SHORT VIVU_TEXT(VIVU_VERSION_MAJOR) "." VIVU_TEXT(VIVU_VERSION_MINOR)
#define VIVU_VERSION_TEXT VIVU_VERSION_SHORT "." VIVU_TEXT(VIVU_VERSION_PATCH)
