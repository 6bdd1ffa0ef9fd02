// Test helper: answers the system's file dialogs that a test opens on its own thread, one planned
// answer per dialog, and accepts the system's follow-up message boxes ("file already exists",
// "file does not exist").
//
//     DialogDriver driver({{IDOK, "C:\\temp\\a.spk"}, {IDCANCEL, ""}});
//     wt_save_file_dialog(owner, "Spara", nullptr, "OWN_FILTER", list); // typed, then OK
//     wt_save_file_dialog(owner, "Spara", nullptr, "OWN_FILTER", list); // cancelled
//     driver.file_dialogs()[0].first_filter  // the description the first dialog showed
//
// The driver polls with a thread timer, which the dialogs' own modal loops dispatch, and acts on
// the thread's active window: a "#32770" window with a file-name box is a file dialog, one with a
// message-box text is a follow-up box. Boxes are accepted with Yes where there is one, else OK.
// A file dialog that finds the plan used up is cancelled and counted in unplanned(), so a test
// fails rather than hangs. When a follow-up box keeps a file dialog open (a missing file), the
// dialog takes the next answer of the plan. One driver at a time per thread; it stops answering
// when it is destroyed.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct DialogAnswer {
    int button;            // IDOK or IDCANCEL
    std::string file_name; // typed into the file-name box before IDOK; a full path or a name
};

// What a file dialog showed when it was answered.
struct SeenFileDialog {
    std::string title;
    std::string proposed_name; // the file-name box's text as the dialog opened
    int filter_count;          // entries in the file-type list
    std::string first_filter;  // its first entry, the description of the first pair
};

struct SeenBox {
    std::string caption;
    std::string text;
};

class DialogDriver {
  public:
    explicit DialogDriver(std::vector<DialogAnswer> plan);
    ~DialogDriver();
    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;

    const std::vector<SeenFileDialog> &file_dialogs() const { return file_dialogs_; }
    const std::vector<SeenBox> &boxes() const { return boxes_; }
    int unplanned() const { return unplanned_; }
    size_t answers_left() const { return plan_.size() - next_answer_; }

    // Called with each file dialog while it is open, before it is answered: the place to look at
    // state that the system changes when the dialog closes.
    std::function<void(HWND dialog)> on_file_dialog;

  private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    void answer(HWND window);
    void answer_file_dialog(HWND dialog, HWND name_box);
    void answer_box(HWND box);

    std::vector<DialogAnswer> plan_;
    size_t next_answer_ = 0;
    std::vector<SeenFileDialog> file_dialogs_;
    std::vector<SeenBox> boxes_;
    int unplanned_ = 0;
    UINT_PTR timer_;
};
