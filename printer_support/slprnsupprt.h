#pragma once
// The exports of libSLPrnSupprt.so (C linkage): prepare the capture printer
// before Word prints, restore it afterwards. Both return 0 in every case.

#if defined(SLPRNSUPPRT_BUILD)
#define SLPRNSUPPRT_API __attribute__((visibility("default")))
#else
#define SLPRNSUPPRT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

SLPRNSUPPRT_API int fnSLPrnSetting(void);
SLPRNSUPPRT_API int fnSLPrnRefresh(void);

// Where the library's messages go (a message box with an OK button): text
// and caption, the caption empty for the system's default. Without a handler
// they are written to standard error.
typedef void (*SLPrnSupprtMessageHandler)(const char* text, const char* caption);
SLPRNSUPPRT_API void SLPrnSupprtSetMessageHandler(SLPrnSupprtMessageHandler handler);

#ifdef __cplusplus
}
#endif
