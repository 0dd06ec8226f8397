#pragma once
// The scripted user of "--qa_script=FILE": a text of commands that act on the window as
// a user would, one command at a time across frames, so tests can drive the whole
// program. It runs inside every pass of the main loop, so it also answers Modal Prompts,
// the Conflict Prompt and Alerts, which run passes of their own.
//
// Lines are blank, comments starting with "#", or one of:
//   wait_text TEXT          wait until a frame draws a text containing TEXT
//   no_text TEXT            fail when the last frame drew a text containing TEXT
//   click X Y               press and release the left button at page coordinates
//   click_text TEXT         click the first widget of the last frame whose label contains
//                           TEXT (Bottom Buttons by their English names: QUIT, GO BACK,
//                           CONTINUE, SELECT ALL, SELECT NONE)
//   tap X Y, tap_text TEXT  the same, but the press and the release reach one frame
//   drag X1 Y1 X2 Y2        press, move over several frames to the end point, release
//   wheel X Y NOTCHES       the mouse to X Y, then the wheel turned (positive: away from the user)
//   key NAME                RETURN, ESCAPE, TAB, SPACE, BACKSPACE, DELETE, LEFT, RIGHT, UP,
//                           DOWN, HOME, END, PAGEUP, PAGEDOWN, a letter or digit, "=", or
//                           with modifiers, e.g. SHIFT+TAB or CTRL+V; as the window's own key
//                           events (a key that types, types only into a focused text field)
//   type TEXT               type TEXT, as the system's text input delivers it
//   pad NAME                press a button of a game controller and let it go in the next
//                           pass: A, B, X, Y, BACK, START, LB, RB, UP, DOWN, LEFT, RIGHT (the
//                           directional pad), or push the left stick STICK_LEFT,
//                           STICK_RIGHT, STICK_UP, STICK_DOWN; through SDL's game
//                           controller interface, with a virtual controller of the program's own
//   log TEXT                write TEXT as a line of the log, at once (a test outside the
//                           program waits for it)
//   pick_folder PATH        the next folder picker returns PATH without showing itself
//   pick_cancel             the next folder picker is cancelled
//   pick_disc_image FILE    the next picker, which must be the disc image picker, returns
//                           FILE (any other picker is cancelled instead)
//   set_drives DIR[:DIR..]  replace the folder drives, as if the user changed discs
//   frames N                let N frames pass
//   timeout SECONDS         the limit of later waits (30 at first)
//   screenshot FILE         the frame being drawn, as PNG
//   check_fit               from here on every frame must draw its texts where they fit
//                           (ui/text_fit.h); the first one that does not fails
//   quit                    as closing the window
// The end of the script quits as "quit" does. A failing command writes
// "QA script failed at line N: ..." to the log and standard error and ends the program
// with exit code 4.

#include <functional>
#include <string>
#include <vector>

struct TextNote;
struct WidgetNote;

// Reads the script; its commands start with the next pass of the main loop. A file that
// cannot be read fails the script at once (line 0).
void qa_script_load_file(const std::string& path);
// The same with the script's text (tests).
void qa_script_load_text(const std::string& text);
// Whether a script is running (loaded, not failed; it stays so after its end).
bool qa_script_active();
// Whether every line has been run.
bool qa_script_finished();

// The main loop calls these: after the window's input was pumped (the script's own input
// is added then), and just before the frame is swapped.
void qa_script_step();
void qa_script_end_frame();
// Called when the UI Mode changes: a full-window panel covers what the frame drew so far.
void qa_script_mode_changed();

// The script reads what frames draw through the draw back end that is current when it
// loads; this puts that back end back (before the window goes away).
void qa_script_release_notes();
// The texts and widgets of the last completed frame.
const std::vector<TextNote>& qa_frame_texts();
const std::vector<WidgetNote>& qa_frame_widgets();

// What a failure does with its message ("QA script failed at line N: ..."). By default:
// log, standard error, exit code 4. Tests catch it here; null restores the default.
void set_qa_failure_handler(std::function<void(const std::string& message)> handler);

// Forgets the script and releases the notes (tests).
void reset_qa_script();
