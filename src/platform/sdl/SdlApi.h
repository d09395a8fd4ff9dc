// SDL is loaded when a window, a message box or a joystick is first needed, not when the program
// starts: a headless run or a tool never pays for loading it and the many libraries it brings.
// The back end calls SDL through this table (Sdl().SDL_CreateWindow(...)); the types and
// constants come from SDL's headers as usual.
#pragma once

#include <SDL.h>

#include <string>

namespace kr {

// Every SDL function the back end uses. ORDER: keep this list sorted.
#define KR_SDL_FUNCTIONS(X)               \
    X(SDL_CloseAudioDevice)               \
    X(SDL_CreateRGBSurfaceWithFormatFrom) \
    X(SDL_CreateShapedWindow)             \
    X(SDL_CreateWindow)                   \
    X(SDL_Delay)                          \
    X(SDL_DestroyWindow)                  \
    X(SDL_FillRect)                       \
    X(SDL_FreeSurface)                    \
    X(SDL_GL_CreateContext)               \
    X(SDL_GL_DeleteContext)               \
    X(SDL_GL_GetCurrentContext)           \
    X(SDL_GL_GetCurrentWindow)            \
    X(SDL_GL_GetDrawableSize)             \
    X(SDL_GL_GetProcAddress)              \
    X(SDL_GL_MakeCurrent)                 \
    X(SDL_GL_SetAttribute)                \
    X(SDL_GL_SetSwapInterval)             \
    X(SDL_GL_SwapWindow)                  \
    X(SDL_GetClipboardText)               \
    X(SDL_GetCurrentDisplayMode)          \
    X(SDL_GetCurrentVideoDriver)          \
    X(SDL_GetDesktopDisplayMode)          \
    X(SDL_GetDisplayMode)                 \
    X(SDL_GetError)                       \
    X(SDL_GetGlobalMouseState)            \
    X(SDL_GetKeyFromScancode)             \
    X(SDL_GetKeyboardState)               \
    X(SDL_GetModState)                    \
    X(SDL_GetNumDisplayModes)             \
    X(SDL_GetPerformanceCounter)          \
    X(SDL_GetPerformanceFrequency)        \
    X(SDL_GetQueuedAudioSize)             \
    X(SDL_GetWindowDisplayIndex)          \
    X(SDL_GetWindowID)                    \
    X(SDL_GetWindowPosition)              \
    X(SDL_GetWindowSize)                  \
    X(SDL_GetWindowSurface)               \
    X(SDL_HasClipboardText)               \
    X(SDL_HideWindow)                     \
    X(SDL_InitSubSystem)                  \
    X(SDL_JoystickClose)                  \
    X(SDL_JoystickGetAttached)            \
    X(SDL_JoystickGetAxis)                \
    X(SDL_JoystickGetButton)              \
    X(SDL_JoystickGetHat)                 \
    X(SDL_JoystickName)                   \
    X(SDL_JoystickNumAxes)                \
    X(SDL_JoystickNumButtons)             \
    X(SDL_JoystickNumHats)                \
    X(SDL_JoystickOpen)                   \
    X(SDL_JoystickUpdate)                 \
    X(SDL_MapRGB)                         \
    X(SDL_NumJoysticks)                   \
    X(SDL_OpenAudioDevice)                \
    X(SDL_PauseAudioDevice)               \
    X(SDL_PollEvent)                      \
    X(SDL_PumpEvents)                     \
    X(SDL_QueueAudio)                     \
    X(SDL_Quit)                           \
    X(SDL_QuitSubSystem)                  \
    X(SDL_RaiseWindow)                    \
    X(SDL_SetClipboardText)               \
    X(SDL_SetHint)                        \
    X(SDL_SetModState)                    \
    X(SDL_SetWindowAlwaysOnTop)           \
    X(SDL_SetWindowBordered)              \
    X(SDL_SetWindowDisplayMode)           \
    X(SDL_SetWindowFullscreen)            \
    X(SDL_SetWindowOpacity)               \
    X(SDL_SetWindowPosition)              \
    X(SDL_SetWindowResizable)             \
    X(SDL_SetWindowShape)                 \
    X(SDL_SetWindowSize)                  \
    X(SDL_SetWindowTitle)                 \
    X(SDL_ShowCursor)                     \
    X(SDL_ShowSimpleMessageBox)           \
    X(SDL_ShowWindow)                     \
    X(SDL_StartTextInput)                 \
    X(SDL_UpdateWindowSurface)            \
    X(SDL_UpperBlitScaled)                \
    X(SDL_WarpMouseGlobal)                \
    X(SDL_WasInit)                        \
    X(SDL_free)

struct SdlApi {
#define KR_SDL_POINTER(name) decltype(&::name) name = nullptr;
    KR_SDL_FUNCTIONS(KR_SDL_POINTER)
#undef KR_SDL_POINTER
};

// Loads SDL on the first call and answers the same afterwards: the table, or nullptr when the
// library or one of its functions is missing (the reason then goes to `error` when given).
const SdlApi* LoadSdl(std::string* error = nullptr);

// The table; only valid after LoadSdl succeeded.
const SdlApi& Sdl();

}  // namespace kr
