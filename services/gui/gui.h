#pragma once
// The GUI layer: windows, gadgets (controls), fonts, shortcuts, dialogs and one event queue,
// all addressed by small numbers that the application chooses.
//
// The application never sees the toolkit: it creates objects under its own numbers, changes
// them through these operations and receives every user action as an `Event` from EventWait or
// EventPoll. An operation on a number that holds no object does nothing and answers 0, an
// empty text or nothing. Making an object under a used number frees the old one first.
// Everything a gadget shows is plain text; markup in a text is shown as its characters.
//
// It does not fetch pages (services/webview), decode pictures (services/images) or sort lists
// (services/columnsort); those services plug their objects into this layer.
#include <cstdint>

#include "services/text/text.h"

// Opaque handles. Null means "none".
using NativeHandle = void*;    // a window, gadget or drawing context of the toolkit
using FontHandle = const void*;
using ImageHandle_t = const void*;  // what ImageHandle (services/images) gives out

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

enum EventKind : int {
  kEventNone = 0,
  CloseRequest = 16,
  GadgetActivity = 13100,
  ShortcutPressed = 13101,
  SessionEnd = 13102,  // the desktop ends the program (SessionWatch)
};

struct Event {
  int kind = kEventNone;
  int window = 0;
  int number = 0;   // gadget number, or shortcut number
  int subtype = 0;  // gadgets: 0 left click or plain activation
};

// List subtypes of GadgetActivity.
inline constexpr int kListLeftClick = 0;
inline constexpr int kListRightClick = 1;
inline constexpr int kListLeftDoubleClick = 2;
inline constexpr int kListRightDoubleClick = 3;
inline constexpr int kListSelectionChanged = 768;

// Window flags.
inline constexpr int kWindowCentre = 0x1;
inline constexpr int kWindowInvisible = 0x2;
inline constexpr int kWindowTitleBar = 0x4;
inline constexpr int kWindowSystemMenu = 0x8;
inline constexpr int kWindowMinimiseBox = 0x10;

// Font style flags.
inline constexpr int kFontUnderline = 0x4;
inline constexpr int kFontStrikeOut = 0x8;
inline constexpr int kFontHighQuality = 0x10;
inline constexpr int kFontBold = 0x100;
inline constexpr int kFontItalic = 0x200;

// Gadget creation flags.
inline constexpr int kTextFieldReadOnly = 0x1;
inline constexpr int kTextFieldMultiLine = 0x2;
inline constexpr int kTextFieldBorderless = 0x4;
inline constexpr int kLabelCentred = 0x1;
inline constexpr int kListFullRowSelect = 0x1;
inline constexpr int kListGridLines = 0x2;
inline constexpr int kListKeepSelection = 0x4;

// GadgetResize: an argument of this value leaves that coordinate unchanged.
inline constexpr int kLeaveUnchanged = -65535;

// Keys for ShortcutAdd.
inline constexpr int kKeyEnter = 13;

// MessageAsk buttons and icons, and its answers.
inline constexpr int kAskOk = 0x0;
inline constexpr int kAskOkError = 0x10;
inline constexpr int kAskYesNo = 0x4;
inline constexpr int kAskYesNoCancelQuestion = 0x23;
inline constexpr int kAskOkInformation = 0x40;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// The layer's lifetime: GuiInit before any other call (it makes the toolkit's application
// object if there is none); GuiShutdown closes every window and frees every font.
void GuiInit();
void GuiShutdown();

// Windows. Width and height are those of the client area; a centred window is placed by its
// outer frame, once the window manager has given it one.
NativeHandle WindowOpen(int number, int x, int y, int width, int height, const Text& title,
                        int flags);
void WindowClose(int number);
void WindowSetVisible(int number, bool visible);
// Off: no mouse or keyboard input reaches the window or its gadgets, its close box included;
// they keep their look (only a gadget turned off by GadgetSetEnabled is greyed).
void WindowSetEnabled(int number, bool enabled);
void WindowSetTopmost(int number, bool on);
void WindowSetTitle(int number, const Text& title);
void WindowSetBackColour(int number, Rgb colour);

// Events.
Event EventWait();                // blocks (without spinning) until an event is there
Event EventPoll();                // never blocks; kind kEventNone when nothing is pending
Event EventWaitFor(int milliseconds);  // as EventWait, but gives up after the time
void ShortcutAdd(int window, int key, int number);
// From now on SIGTERM, SIGHUP and SIGINT end the session: EventWait answers SessionEnd before
// anything still queued (EventPoll and EventWaitFor, whose callers drop what they take, never
// do), an open dialog is closed as by its close box, and none waits for a person any more
// (MessageAsk and SaveFileDialog answer at once as closed). A signal the process was started
// with ignored (nohup) stays ignored; GuiShutdown gives each signal back the action it had.
// When the desktop's session manager lets the program ask before a logout, `beforeLogout` (if
// any) is called; false cancels the logout. Once, by the program itself.
void SessionWatch(bool (*beforeLogout)());

// Fonts.
FontHandle FontLoad(int number, const Text& face, int points, int style);

// Gadget creation, in client pixels of the most recently opened window.
NativeHandle GadgetCreateButton(int number, int x, int y, int w, int h, const Text& text);
NativeHandle GadgetCreatePictureButton(int number, int x, int y, int w, int h,
                                       ImageHandle_t image);
NativeHandle GadgetCreateTextField(int number, int x, int y, int w, int h, const Text& text,
                                   int flags);
NativeHandle GadgetCreateLabel(int number, int x, int y, int w, int h, const Text& text,
                               int flags);
NativeHandle GadgetCreateFrame(int number, int x, int y, int w, int h, const Text& caption);
NativeHandle GadgetCreateOption(int number, int x, int y, int w, int h, const Text& text);
NativeHandle GadgetCreateList(int number, int x, int y, int w, int h, const Text& column0Title,
                              int column0Width, int flags);
NativeHandle GadgetCreatePicture(int number, int x, int y, int w, int h, ImageHandle_t image);
NativeHandle GadgetCreateLink(int number, int x, int y, int w, int h, const Text& text,
                              Rgb hoverColour);

// Gadget operations.
void GadgetSetText(int number, const Text& text);
Text GadgetGetText(int number);
void GadgetSetState(int number, std::int64_t value);
void GadgetSetState(int number, ImageHandle_t image);  // picture box; null shows none
std::int64_t GadgetGetState(int number);
void GadgetSetFont(int number, FontHandle font);
void GadgetSetBackColour(int number, Rgb colour);
void GadgetSetEnabled(int number, bool enabled);
void GadgetHide(int number, bool hide);
void GadgetFocus(int number);
bool GadgetHasFocus(int number);
// The name a screen reader says for the gadget, for gadgets whose caption does not name them
// (fields named by the frame around them, picture buttons, the cover). Lists need none: they
// are named by their first column's heading, whatever it is at the time.
void GadgetSetAccessibleName(int number, const Text& name);
void GadgetResize(int number, int x, int y, int w, int h);
void TextFieldSelectAll(int number);

// Lists.
void ListAddColumn(int number, int position, const Text& title, int width);
void ListRemoveColumn(int number, int position);
void ListAddRow(int number, int position, const Text& text);  // position -1: at the end
void ListRemoveRow(int number, int row);
void ListClear(int number);
std::int64_t ListCount(int number);
void ListSelectRow(int number, int row, bool selected);
Text ListCellText(int number, int row, int column);  // row -1: the column's title
void ListSetColours(int number, Rgb colour);

// Dialogs and the desktop.
int MessageAsk(const Text& caption, const Text& text, int buttonsAndIcon);
Text SaveFileDialog(const Text& title, const Text& proposedName, const Text& patterns,
                    int initialIndex);
void OpenWithShell(const Text& address);
