#include "window/measure_dialog.h"

#include "audio/sound_card.h"
#include "engine/driver_file.h"
#include "measure/synthetic_recording.h"
#include "toolkit/controls.h"
#include "toolkit/dialog_window.h"
#include "toolkit/test_support/box_catcher.h"
#include "toolkit/test_support/dialog_driver.h"
#include "toolkit/test_support/screenshot.h"
#include "window/calculator.h"
#include "window/test_support/calculator_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

constexpr unsigned RATE = 48000;
constexpr double SECONDS = 5;
constexpr double ADDED_GRAMS = 20, MMS_GRAMS = 22;

std::string temp_path(const char *name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "elemtrix-" + name;
}

using synthetic::Jig;

// The jig's driver with the mass on its cone: the resonance lower, both Q's higher, by the
// same factor.
Jig with_mass() {
    Jig j = Jig::plain();
    const double k = std::sqrt(1 + ADDED_GRAMS / MMS_GRAMS);
    j.driver.Fs /= k;
    j.driver.Qms *= k;
    j.driver.Qes *= k;
    return j;
}

Recording record(const Jig &jig) {
    return synthetic::record_steady(jig, synthetic::own_stimulus(RATE, SECONDS), RATE);
}

std::string write_recording(const char *name, const Jig &jig) {
    const Recording r = record(jig);
    const std::string path = temp_path(name);
    MeasureError error;
    EXPECT_TRUE(write_wav_file(path.c_str(), RATE, r.left.data(), r.right.data(), r.frames(),
                               WavFormat::FLOAT32, error))
        << error.message;
    return path;
}

void dispatch_waiting() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        if (!wt_dialog_message(&m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
}

struct MeasureDialogTest : ::testing::Test {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND calculator = nullptr, dialog = nullptr;

    void SetUp() override {
        calculator = create_calculator(instance);
        ASSERT_NE(calculator, nullptr);
        show_measure_dialog(calculator);
        dialog = measure_dialog();
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        if (measure_dialog())
            SendMessageA(measure_dialog(), WM_CLOSE, 0, 0);
        EXPECT_EQ(measure_dialog(), nullptr);
        close_calculator(calculator);
    }

    HWND item(int id) const { return GetDlgItem(dialog, id); }
    std::string text(int id) const {
        char t[1024];
        GetWindowTextA(item(id), t, sizeof t);
        return t;
    }
    void type(int id, const char *t) { SetWindowTextA(item(id), t); }
    void press(int id) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(item(id)));
    }
    // Presses a button whose file dialogs are answered as planned; the boxes it showed.
    std::vector<CaughtBox> press(int id, std::vector<DialogAnswer> plan) {
        DialogDriver driver(std::move(plan));
        start_catching_boxes();
        press(id);
        std::vector<CaughtBox> boxes = stop_catching_boxes();
        EXPECT_EQ(driver.unplanned(), 0);
        EXPECT_EQ(driver.answers_left(), 0u);
        return boxes;
    }
    std::vector<CaughtBox> open_recording(const std::string &path, bool with_mass = false) {
        SendMessageA(item(ID_MEASURE_AS_FREE_AIR), BM_SETCHECK,
                     with_mass ? BST_UNCHECKED : BST_CHECKED, 0);
        SendMessageA(item(ID_MEASURE_AS_ADDED_MASS), BM_SETCHECK,
                     with_mass ? BST_CHECKED : BST_UNCHECKED, 0);
        return press(ID_MEASURE_OPEN_RECORDING, {{IDOK, path}});
    }

    std::vector<CaughtBox> calculator_open(std::vector<DialogAnswer> plan) {
        DialogDriver driver(std::move(plan));
        start_catching_boxes();
        SendMessageA(calculator, WM_COMMAND, ID_OPEN, 0);
        return stop_catching_boxes();
    }
};

// Sd and nothing else typed, as a user would before either way of filling the fields.
const Texts TYPED = {"Mellanregister", "", "", "", "132", "", "", "", "", "", ""};

std::string replaced(std::string s, const std::string &from, const std::string &to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

TEST_F(MeasureDialogTest, IsOneModelessDialogInSwedishBesideTheCalculator) {
    char title[64];
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, "M\xE4t impedans");
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), calculator);
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    EXPECT_FALSE(GetWindowLongA(dialog, GWL_STYLE) & WS_CHILD);
    // Down and right of the calculator's corner, its title bar in sight.
    RECT owner, made;
    GetWindowRect(calculator, &owner);
    GetWindowRect(dialog, &made);
    EXPECT_EQ(made.left - owner.left, 40);
    EXPECT_EQ(made.top - owner.top, 40);
    // A second choice brings the open one forward rather than making another.
    show_measure_dialog(calculator);
    EXPECT_EQ(measure_dialog(), dialog);

    const struct {
        int id;
        const char *text;
    } captions[] = {
        {ID_MEASURE_CALIBRATE, "Kalibrera"},
        {ID_MEASURE_FREE_AIR, "M\xE4t fri luft"},
        {ID_MEASURE_ADDED_MASS, "M\xE4t med massa"},
        {ID_MEASURE_STOP, "Avbryt"},
        {ID_MEASURE_OPEN_RECORDING, "\xD6ppna inspelning\x85"},
        {ID_MEASURE_SAVE_CURVE, "Spara kurva\x85"},
        {ID_MEASURE_USE, "Anv\xE4nd"},
        {ID_MEASURE_CLOSE, "St\xE4ng"},
        {ID_MEASURE_RREF, "10"},
    };
    for (const auto &c : captions)
        EXPECT_EQ(text(c.id), c.text) << c.id;
    char device[64];
    SendMessageA(item(ID_MEASURE_OUTPUT), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(device));
    EXPECT_STREQ(device, "Windows standardenhet");
    EXPECT_EQ(text(ID_MEASURE_CALIBRATION_STATE), "Inte kalibrerad: ing\xE5ngarna antas lika");
    // Nothing to stop, save or use yet.
    for (int id : {ID_MEASURE_STOP, ID_MEASURE_SAVE_CURVE, ID_MEASURE_USE})
        EXPECT_FALSE(IsWindowEnabled(item(id))) << id;
}

TEST_F(MeasureDialogTest, TabWalksTheDialogAndLeavesTheCalculatorsKeysAlone) {
    SetFocus(item(ID_MEASURE_RREF));
    MSG tab = {item(ID_MEASURE_RREF), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_TRUE(wt_dialog_message(&tab));
    EXPECT_EQ(GetFocus(), item(ID_MEASURE_CALIBRATE));
    MSG calculator_key = {calculator_field(1), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_FALSE(wt_dialog_message(&calculator_key));
}

// A recording of the circuit model fills the fields as "Öppna" of its saved curve does, with
// the same box, but for the name it gives the curve.
TEST_F(MeasureDialogTest, AnOpenedRecordingFillsTheFieldsAsOpeningItsCurve) {
    const std::string wav = write_recording("free.wav", Jig::plain());
    EXPECT_TRUE(open_recording(wav).empty());
    EXPECT_NE(text(ID_MEASURE_VALUES).find("Fs 38.0"), std::string::npos)
        << text(ID_MEASURE_VALUES);
    ASSERT_TRUE(IsWindowEnabled(item(ID_MEASURE_USE)));
    const std::string zma = temp_path("free.zma");
    DeleteFileA(zma.c_str());
    EXPECT_TRUE(press(ID_MEASURE_SAVE_CURVE, {{IDOK, zma}}).empty());

    set_field_texts(TYPED);
    const std::vector<CaughtBox> used = press(ID_MEASURE_USE, {});
    const Texts filled = field_texts();
    set_field_texts(TYPED);
    const std::vector<CaughtBox> opened = calculator_open({{IDOK, zma}});
    EXPECT_EQ(field_texts(), filled);
    ASSERT_EQ(used.size(), 1u);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(used[0].caption, "ANPASSNING");
    EXPECT_EQ(replaced(used[0].text, "elemtrix-free.wav", "elemtrix-free.zma"), opened[0].text);
    EXPECT_NEAR(std::atof(filled[1].c_str()), Jig::plain().driver.Fs, 0.1);
    EXPECT_NEAR(std::atof(filled[8].c_str()), Jig::plain().driver.Qts(), 0.005);
}

TEST_F(MeasureDialogTest, WithTheMassTheFieldsAreThoseOfOpeningBothCurves) {
    const std::string free_wav = write_recording("free.wav", Jig::plain());
    const std::string mass_wav = write_recording("mass.wav", with_mass());
    EXPECT_TRUE(open_recording(free_wav).empty());
    type(ID_MEASURE_GRAMS, "20");
    EXPECT_TRUE(open_recording(mass_wav, true).empty());
    const std::string zma[] = {temp_path("free.zma"), temp_path("mass.zma")};
    for (const std::string &path : zma)
        DeleteFileA(path.c_str());
    // The curve saved is the one opened last: the one with the mass.
    EXPECT_TRUE(press(ID_MEASURE_SAVE_CURVE, {{IDOK, zma[1]}}).empty());

    set_field_texts(TYPED);
    EXPECT_EQ(press(ID_MEASURE_USE, {}).size(), 1u);
    const Texts filled = field_texts();
    EXPECT_EQ(filled[10], "20"); // the mass typed in the dialog, as a user types it for "Öppna"
    EXPECT_NEAR(std::atof(filled[9].c_str()), with_mass().driver.Fs, 0.2);

    Texts typed = TYPED;
    typed[10] = "20";
    set_field_texts(typed);
    EXPECT_TRUE(open_recording(free_wav).empty());
    EXPECT_TRUE(press(ID_MEASURE_SAVE_CURVE, {{IDOK, zma[0]}}).empty());
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    calculator_open({{IDOK, folder}, {IDOK, "\"elemtrix-free.zma\" \"elemtrix-mass.zma\""}});
    EXPECT_EQ(field_texts(), filled);
}

// Both recordings of the model opened and used: the curves, their phases and the fitted model
// over the free-air curve, with Re, Fs and Qts read from the last.
TEST_F(MeasureDialogTest, BothCurvesAndTheModelForTheGoldenImage) {
    // The plot's marker follows the pointer: off the screen's corner, the image shows none
    // wherever the dialog stands.
    SetCursorPos(0, 0);
    set_field_texts(TYPED);
    EXPECT_TRUE(open_recording(write_recording("free.wav", Jig::plain())).empty());
    type(ID_MEASURE_GRAMS, "20");
    EXPECT_TRUE(open_recording(write_recording("mass.wav", with_mass()), true).empty());
    EXPECT_EQ(press(ID_MEASURE_USE, {}).size(), 1u);
    SetFocus(item(ID_MEASURE_CLOSE));
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    dispatch_waiting();
    ASSERT_TRUE(write_client_bitmap(dialog, MEASURE_DIALOG_IMAGE));
}

// For scripts/measure-drive.sh, which drives the program from outside: the two recordings of the
// model where CTest finds them.
TEST(Recordings, ForTheDriveTest) {
    const struct {
        const char *name;
        Jig jig;
    } recordings[] = {{"elemtrix-free.wav", Jig::plain()}, {"elemtrix-mass.wav", with_mass()}};
    for (const auto &r : recordings) {
        const Recording made = record(r.jig);
        Recording read;
        const std::string path = std::string(MEASURE_DIALOG_FILES) + "/" + r.name;
        MeasureError error;
        ASSERT_TRUE(write_wav_file(path.c_str(), RATE, made.left.data(), made.right.data(),
                                   made.frames(), WavFormat::FLOAT32, error))
            << error.message;
        ASSERT_TRUE(read_wav_file(path.c_str(), read, error)) << error.message;
        EXPECT_EQ(read.frames(), made.frames());
    }
}

// Every fault is a Swedish box, and nothing changes: no curve, no field.
TEST_F(MeasureDialogTest, FaultsAreSwedishBoxesThatChangeNothing) {
    set_field_texts(TYPED);
    const struct {
        const char *file;
        synthetic::Wiring wiring;
        const char *said;
    } faults[] = {
        {"swapped.wav", synthetic::Wiring::SWAPPED, "f\xF6rv\xE4xlade"},
        {"loopback.wav", synthetic::Wiring::IDENTICAL, "samma sampel"},
    };
    for (const auto &f : faults) {
        Jig jig = Jig::plain();
        jig.wiring = f.wiring;
        const std::vector<CaughtBox> boxes = open_recording(write_recording(f.file, jig));
        ASSERT_EQ(boxes.size(), 1u) << f.file;
        EXPECT_EQ(boxes[0].caption, "M\xC4TFEL");
        EXPECT_NE(boxes[0].text.find(f.said), std::string::npos) << boxes[0].text;
        EXPECT_FALSE(IsWindowEnabled(item(ID_MEASURE_USE)));
        EXPECT_FALSE(IsWindowEnabled(item(ID_MEASURE_SAVE_CURVE)));
    }
    const std::string missing = temp_path("missing.wav");
    DeleteFileA(missing.c_str());
    const std::string not_wav = temp_path("text.wav");
    FILE *out = std::fopen(not_wav.c_str(), "wb");
    std::fputs("no recording", out);
    std::fclose(out);
    const std::vector<CaughtBox> unread = open_recording(not_wav);
    ASSERT_EQ(unread.size(), 1u);
    EXPECT_EQ(unread[0].caption, "FILFEL");

    // A resistance that is no plain number is asked for before any file.
    for (const char *rref : {"", "1,5", "0", "10 ohm"}) {
        type(ID_MEASURE_RREF, rref);
        const std::vector<CaughtBox> boxes = press(ID_MEASURE_OPEN_RECORDING, {});
        ASSERT_EQ(boxes.size(), 1u) << rref;
        EXPECT_EQ(boxes[0].caption, "INMATNINGSFEL");
    }
    type(ID_MEASURE_RREF, "10");
    type(ID_MEASURE_GRAMS, "");
    SendMessageA(item(ID_MEASURE_AS_ADDED_MASS), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(item(ID_MEASURE_AS_FREE_AIR), BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(press(ID_MEASURE_OPEN_RECORDING, {}).size(), 1u);
    EXPECT_EQ(field_texts(), TYPED);
}

// Through the private PulseAudio server, whose loopback gives both inputs the same signal.
struct SoundJig : MeasureDialogTest {
    bool idle() const { return !IsWindowEnabled(item(ID_MEASURE_STOP)); }
    bool wait(bool (SoundJig::*until)() const, DWORD limit_ms) {
        const DWORD start = GetTickCount();
        while (!(this->*until)()) {
            dispatch_waiting();
            if (GetTickCount() - start > limit_ms)
                return false;
            Sleep(5);
        }
        return true;
    }
    bool levelled() const { return text(ID_MEASURE_LEVEL).rfind("Niv\xE5 ut:", 0) == 0; }
};

// The names come from a thread of their own after the dialog is painted, each list behind
// Windows' own choice, in winmm's order.
TEST_F(SoundJig, TheDeviceListsNameTheCardsDevicesOnceListed) {
    for (const auto direction : {SoundDirection::Output, SoundDirection::Input}) {
        const HWND list =
            item(direction == SoundDirection::Output ? ID_MEASURE_OUTPUT : ID_MEASURE_INPUT);
        const int count = sound_device_count(direction);
        ASSERT_GT(count, 0);
        const auto listed = [&] { return SendMessageA(list, CB_GETCOUNT, 0, 0) == count + 1; };
        for (const DWORD start = GetTickCount(); !listed() && GetTickCount() - start < 10000;
             Sleep(5))
            dispatch_waiting();
        ASSERT_TRUE(listed());
        for (int device = 1; device <= count; ++device) {
            char expected[SOUND_NAME_SIZE], shown[SOUND_NAME_SIZE];
            ASSERT_TRUE(sound_device_name(direction, device, expected));
            SendMessageA(list, CB_GETLBTEXT, device, reinterpret_cast<LPARAM>(shown));
            EXPECT_STREQ(shown, expected) << device;
        }
        EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), SOUND_DEFAULT_DEVICE);
    }
}

TEST_F(SoundJig, TheLoopbackEndsInTheBoxOfOneSignalOnBothInputsAndChangesNothing) {
    set_field_texts(TYPED);
    start_catching_boxes();
    press(ID_MEASURE_FREE_AIR);
    EXPECT_FALSE(idle());
    EXPECT_FALSE(IsWindowEnabled(item(ID_MEASURE_FREE_AIR)));
    EXPECT_TRUE(wait(&SoundJig::levelled, 30000)) << text(ID_MEASURE_LEVEL);
    EXPECT_TRUE(wait(&SoundJig::idle, 60000));
    const std::vector<CaughtBox> boxes = stop_catching_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "M\xC4TFEL");
    EXPECT_NE(boxes[0].text.find("samma sampel"), std::string::npos) << boxes[0].text;
    EXPECT_FALSE(IsWindowEnabled(item(ID_MEASURE_USE)));
    EXPECT_EQ(field_texts(), TYPED);
}

TEST_F(SoundJig, AvbrytAndClosingStopTheSoundCardAtOnce) {
    start_catching_boxes();
    press(ID_MEASURE_FREE_AIR);
    ASSERT_TRUE(wait(&SoundJig::levelled, 30000));
    DWORD start = GetTickCount();
    press(ID_MEASURE_STOP);
    EXPECT_TRUE(wait(&SoundJig::idle, 2000));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(text(ID_MEASURE_LEVEL), "Avbruten: ingenting \xE4ndrat");

    press(ID_MEASURE_FREE_AIR);
    ASSERT_TRUE(wait(&SoundJig::levelled, 30000));
    start = GetTickCount();
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(measure_dialog(), nullptr);
    EXPECT_FALSE(measure_dialog_measuring());

    // The calculator closed takes the dialog it owns with it, and the measurement too.
    show_measure_dialog(calculator);
    dialog = measure_dialog();
    ASSERT_NE(dialog, nullptr);
    press(ID_MEASURE_FREE_AIR);
    ASSERT_TRUE(wait(&SoundJig::levelled, 30000));
    EXPECT_TRUE(measure_dialog_measuring());
    start = GetTickCount();
    DestroyWindow(calculator);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(measure_dialog(), nullptr);
    EXPECT_FALSE(measure_dialog_measuring());
    EXPECT_TRUE(stop_catching_boxes().empty());
}

} // namespace
