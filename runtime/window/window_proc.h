// The class procedure of every runtime window: native messages become
// runtime events, control notifications go to the gadget that owns the
// control, the focus is remembered across deactivation and the sizing loop
// runs through the ordinary message retrieval.
#pragma once

#include <windows.h>

// A handler's answer "not mine": the caller lets the default procedure run.
constexpr LRESULT NOT_HANDLED = static_cast<LRESULT>(0xD0D0D0D1u);

// Private messages: the tray icon's callback, and one that controls may
// send their parent to reach their gadget type. Drop targets post the drop
// event codes themselves (EVENT_WINDOW_DROP, EVENT_GADGET_DROP) as messages
// with the payload in lParam.
constexpr UINT TRAY_CALLBACK_MESSAGE = 12501;
constexpr UINT GADGET_FORWARD_MESSAGE = 13120;

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The message's result, or NOT_HANDLED.
LRESULT handle_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
