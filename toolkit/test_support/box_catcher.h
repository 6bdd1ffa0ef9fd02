// Catches the message boxes that code under test shows, so that GUI tests run unattended.
//
//     start_catching_boxes();
//     code_that_shows_boxes();
//     std::vector<CaughtBox> boxes = stop_catching_boxes();
//
// While catching, every message box that this thread shows (MessageBoxA and its kin: a "#32770"
// dialog with a text static of id 0xFFFF) is recorded the moment it is activated and answered
// at once: with OK when it has an OK button, otherwise with its first button. The box closes
// as if clicked, so the code under test sees the button's id (IDOK for an OK box), never
// IDCANCEL from a close. Other windows and dialogs are left alone.
//
// One catcher per thread at a time; start again after stop for a fresh list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CaughtBox {
    HWND owner;          // the owner window, null for a box without one
    std::string caption; // the title bar text
    std::string text;    // the message, LF between lines
    UINT style;          // MB_ button type | MB_ icon, as far as the box shows them
};

void start_catching_boxes();
std::vector<CaughtBox> stop_catching_boxes();
