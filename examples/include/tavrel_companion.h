/*
 * What a main program needs to know to work with the Tavrel.x64 companion.
 *
 * Files: the companion, the main program and the hook library sit in one
 * folder and are found by name. A companion named NAME.x64.exe serves the
 * main program NAME.exe and loads the hook library NAME.x64.dll.
 *
 * The main program must hold a mutex named TAVREL_MAIN_PROGRAM_MUTEX for as
 * long as it runs, and create it before it starts the companion: a companion
 * that does not find it opens the main program instead of running.
 *
 * A running companion holds TAVREL_COMPANION_MUTEX. A second companion
 * started meanwhile opens the main program (ShellExecute "open", no
 * arguments) and ends, so the main program must cope with being opened
 * while it already runs.
 *
 * To end the companion, send or post WM_CLOSE to its hidden window of class
 * TAVREL_COMPANION_WINDOW_CLASS; it removes the hook, unloads the library and
 * exits with code 0. It never ends by itself while the main program runs.
 */
#ifndef TAVREL_COMPANION_H
#define TAVREL_COMPANION_H

/* Session-local names: no "Global\\" prefix. */
#define TAVREL_MAIN_PROGRAM_MUTEX L"{F8954142-4587-421E-9519-CE85C98EE0F6}"
#define TAVREL_COMPANION_MUTEX L"{F698CC53-C3FF-4BD8-AEC8-A9B9FFFE7D9A}"

#define TAVREL_COMPANION_WINDOW_CLASS L"TEscortForm"
#define TAVREL_COMPANION_WINDOW_CAPTION L"Tavrel  (x64)"

#endif
