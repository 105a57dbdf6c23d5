// Settings for the Windows headers and the C runtime, included before any
// system header by the Windows side of the platform layer.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN  // only the core of <windows.h>
#endif
#ifndef NOMINMAX
#define NOMINMAX  // keep std::min and std::max usable
#endif
#ifndef _CRT_SECURE_NO_WARNINGS
#define _CRT_SECURE_NO_WARNINGS  // the plain C runtime calls are used on purpose
#endif
