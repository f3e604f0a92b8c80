// The module's file-name test, free of Windows headers.
#pragma once

// True when the name's last '.' starts exactly ".wma" (any ASCII case) and
// the name is not a network address (contains "://").
bool IsPlayableName(const char *fileName);
