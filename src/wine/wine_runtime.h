// Whether the media runtime in this process is Wine's own.
//
// Wine's runtime (over GStreamer) has faults of its own that the plug-in
// works around; on Windows none of those workarounds may change anything.
// Wine's ntdll exports wine_get_version, Windows' never does. It goes with
// the last of those workarounds.
#pragma once

// True under Wine. Asked once and kept for the process's life.
bool RuntimeIsWine();
