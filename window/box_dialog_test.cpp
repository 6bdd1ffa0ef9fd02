#include "window/box_dialog.h"

#include "enclosure/box_form.h"
#include "measure/fitted_covariance.h"
#include "toolkit/controls.h"
#include "toolkit/dialog_window.h"
#include "toolkit/plot.h"
#include "toolkit/test_support/box_catcher.h"
#include "window/calculator.h"
#include "window/sweep_open.h"
#include "window/test_support/calculator_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

const char *const WORKED[INPUT_COUNT] = {"30", "6",    "40",   "500", "50",
                                         "3",  "0.45", "0.39", "25",  "20"};
const char FROM_FIT[] = "Standardfel fr\xE5n senaste anpassningen till impedanskurvor";
const char STALE[] =
    "Inga standardfel: f\xE4lten har \xE4ndrats sedan anpassningen till impedanskurvor";
const char TYPED[] = "Inga standardfel: v\xE4rdena \xE4r inskrivna, inte anpassade till "
                     "impedanskurvor";

std::string text_of(HWND control) {
    char text[600] = "";
    GetWindowTextA(control, text, sizeof text);
    return text;
}

struct BoxDialog : ::testing::Test {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND window = nullptr;

    void SetUp() override {
        window = create_calculator(instance);
        ASSERT_NE(window, nullptr);
        type_inputs(WORKED);
    }
    // The dialog keeps its form for the next time it opens: the next test gets the first form.
    void TearDown() override {
        show_box_dialog(window);
        choose(ID_BOX_TYPE, BOX_SEALED);
        for (int i = 0; i < BOX_FORM_FIELD_COUNT; ++i)
            set_field(static_cast<BoxFormField>(i), BOX_FORM_FIELDS[i].initial);
        DestroyWindow(box_dialog());
        close_calculator(window);
    }

    HWND item(int id) { return GetDlgItem(box_dialog(), id); }
    // A line of a column of the figures.
    std::string figure(BoxFigureId row, int column) {
        std::string text = text_of(item(ID_BOX_FIGURE + column)) + "\n";
        for (int r = 0; r < row; ++r)
            text.erase(0, text.find('\n') + 1);
        return text.substr(0, text.find('\n'));
    }
    void set_field(BoxFormField field, const char *text) {
        wt_set_text(item(ID_BOX_FIELD + field), text);
    }
    void choose(int id, int index) {
        SendMessageA(item(id), CB_SETCURSEL, index, 0);
        SendMessageA(box_dialog(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(item(id)));
    }
    // Presses "Beräkna"; the texts of the boxes it brought up.
    std::vector<std::string> design() {
        start_catching_boxes();
        SendMessageA(item(ID_BOX_DESIGN), BM_CLICK, 0, 0);
        std::vector<std::string> texts;
        for (const CaughtBox &b : stop_catching_boxes()) {
            EXPECT_EQ(b.caption, "INMATNINGSFEL");
            EXPECT_EQ(b.owner, box_dialog());
            texts.push_back(b.text);
        }
        return texts;
    }
    // A key as the message loop hands it on: through the dialog first.
    void key(HWND to, WPARAM key) {
        MSG m{to, WM_KEYDOWN, key, 0, 0, {0, 0}};
        if (!wt_dialog_message(&m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
};

TEST_F(BoxDialog, TheWindowMenuOpensItOnceOwnedByTheCalculatorAndItKeepsItsForm) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    UINT id = 0;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[64] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        if (std::string(text) == "L\xE5"
                                 "dber\xE4kning\x85")
            id = GetMenuItemID(menu, i);
    }
    ASSERT_EQ(id, ID_BOX_DIALOG);
    SendMessageA(window, WM_SYSCOMMAND, id, 0);
    const HWND d = box_dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(text_of(d), "L\xE5"
                          "dber\xE4kning");
    EXPECT_EQ(GetWindow(d, GW_OWNER), window);
    EXPECT_TRUE(IsWindowVisible(d));
    RECT owner, made;
    GetWindowRect(window, &owner);
    GetWindowRect(d, &made);
    EXPECT_NEAR(made.left + made.right, owner.left + owner.right, 1); // centred
    SetForegroundWindow(window);
    SendMessageA(window, WM_SYSCOMMAND, id, 0); // a second choice brings it forward
    EXPECT_EQ(box_dialog(), d);
    EXPECT_EQ(GetForegroundWindow(), d);
    set_field(FORM_XMAX, "6.5");
    SendMessageA(d, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(d));
    EXPECT_EQ(box_dialog(), nullptr);
    show_box_dialog(window);
    ASSERT_NE(box_dialog(), nullptr);
    EXPECT_EQ(text_of(item(ID_BOX_FIELD + FORM_XMAX)), "6.5");
}

TEST_F(BoxDialog, TypedValuesGiveTheBoxWithoutErrorsAndSaySo) {
    show_box_dialog(window);
    // The first form is a closed box of Qtc 0.707, designed as the dialog opens.
    const double vb = 50 / (std::pow(0.707 / 0.39, 2) - 1);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.2f", vb);
    EXPECT_EQ(figure(FIG_VB, 1), expected);
    EXPECT_EQ(figure(FIG_VB, 0), "Vb");
    EXPECT_EQ(figure(FIG_VB, 3), "Liter");
    EXPECT_EQ(figure(FIG_VB, 2), "");
    EXPECT_EQ(figure(FIG_QTC, 1), "0.707");
    EXPECT_EQ(figure(FIG_QTC, 3), "Faktor");
    EXPECT_EQ(figure(FIG_FB, 1), ""); // no Fb in a closed box
    EXPECT_EQ(text_of(item(ID_BOX_SOURCE)), TYPED);
    EXPECT_EQ(text_of(item(ID_BOX_NAME)), "L\xE5"
                                          "da: sluten, Qtc 0.707 (Butterworth)");
    // With Xmax the excursion shows, with Pe the greatest level.
    set_field(FORM_XMAX, "5");
    set_field(FORM_PE, "60");
    EXPECT_TRUE(design().empty());
    EXPECT_NE(figure(FIG_EXCURSION, 1), "");
    // The plots show the response and the excursion against Xmax, read where the marker is.
    const HWND response = item(ID_BOX_PLOT), excursion = item(ID_BOX_PLOT + 1);
    wt_plot_marker(response, 1000);
    EXPECT_NE(std::string(wt_plot_readout(response)).find("Niv\xE5 "), std::string::npos)
        << wt_plot_readout(response);
    wt_plot_marker(excursion, 20);
    EXPECT_NE(std::string(wt_plot_readout(excursion)).find("Xmax 5"), std::string::npos)
        << wt_plot_readout(excursion);
    EXPECT_NE(figure(FIG_MAX_SPL, 1), "");
}

TEST_F(BoxDialog, AFitsErrorsCountOnlyWhileTheFieldsHoldWhatItFilled) {
    CovariedDriver fit{};
    for (int i = 0; i < COVARIED_COUNT; ++i)
        fit.value[i] = NAN;
    fit.covariance[CV_VAS][CV_VAS] = 4;    // Vas ± 2 litre
    fit.covariance[CV_QTS][CV_QTS] = 1e-4; // Qts ± 0.01
    fit.covariance[CV_QTS][CV_FS] = fit.covariance[CV_FS][CV_QTS] = 1e-3;
    fit.covariance[CV_FS][CV_FS] = 0.25;
    remember_sweep_fit(fit);
    show_box_dialog(window);
    EXPECT_EQ(text_of(item(ID_BOX_SOURCE)), FROM_FIT);
    EXPECT_EQ(figure(FIG_VB, 2).substr(0, 2), "\xB1 ");
    EXPECT_EQ(figure(FIG_VB, 4), "(mest fr\xE5n Qts)");
    EXPECT_NE(text_of(item(ID_BOX_NOTES)).find("Exakta (utan standardfel): Qes, Re, Sd"),
              std::string::npos);

    wt_set_text(calculator_field(8), "0.40"); // Qts changed by hand
    EXPECT_TRUE(design().empty());
    EXPECT_EQ(text_of(item(ID_BOX_SOURCE)), STALE);
    EXPECT_EQ(figure(FIG_VB, 2), "");
    wt_set_text(calculator_field(8), "0.39");
    EXPECT_TRUE(design().empty());
    EXPECT_EQ(text_of(item(ID_BOX_SOURCE)), FROM_FIT);
}

TEST_F(BoxDialog, AMeaninglessBoxIsAnInputErrorAndClearsTheFigures) {
    show_box_dialog(window);
    ASSERT_NE(figure(FIG_VB, 1), "");
    set_field(FORM_QTC, "0.3"); // below the driver's Qts
    const std::vector<std::string> boxes = design();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Qts"), std::string::npos) << boxes[0];
    EXPECT_EQ(figure(FIG_VB, 1), "");
    wt_plot_marker(item(ID_BOX_PLOT), 100);
    EXPECT_EQ(std::string(wt_plot_readout(item(ID_BOX_PLOT))).find("Niv\xE5"), std::string::npos);
    EXPECT_EQ(text_of(item(ID_BOX_NAME)), "Ingen l\xE5"
                                          "da ber\xE4knad");

    set_field(FORM_QTC, "0,8");
    EXPECT_EQ(design(), std::vector<std::string>{"Qtc: Anv\xE4nd punkt som komma!"});
    set_field(FORM_QTC, "0.707");
    wt_set_text(calculator_field(5), ""); // no Vas
    EXPECT_EQ(design().size(), 1u);
    wt_set_text(calculator_field(5), "50");
    EXPECT_TRUE(design().empty());
    EXPECT_NE(figure(FIG_VB, 1), "");
}

TEST_F(BoxDialog, AVentedBoxTakesItsOwnChoicesAndFields) {
    show_box_dialog(window);
    EXPECT_FALSE(IsWindowEnabled(item(ID_BOX_FIELD + FORM_QL)));
    choose(ID_BOX_TYPE, BOX_VENTED);
    EXPECT_EQ(SendMessageA(item(ID_BOX_CHOICE), CB_GETCOUNT, 0, 0), VENTED_CHOICE_COUNT);
    EXPECT_EQ(SendMessageA(item(ID_BOX_CHOICE), CB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(IsWindowEnabled(item(ID_BOX_FIELD + FORM_QL)));
    EXPECT_FALSE(IsWindowEnabled(item(ID_BOX_FIELD + FORM_QTC)));
    EXPECT_FALSE(IsWindowEnabled(item(ID_BOX_FIELD + FORM_VB)));
    set_field(FORM_PORT, "5");
    EXPECT_TRUE(design().empty());
    EXPECT_NE(figure(FIG_FB, 1), "");
    EXPECT_NE(figure(FIG_PORT_LENGTH, 1), "");
    EXPECT_EQ(figure(FIG_PORT_LENGTH, 3), "cm");
    // The port's air speed is drawn against its limit.
    const HWND port = item(ID_BOX_PLOT + 2);
    wt_plot_marker(port, 50);
    EXPECT_NE(std::string(wt_plot_readout(port)).find("Gr\xE4ns"), std::string::npos)
        << wt_plot_readout(port);
    // Qts 0.39 lies below B4's 0.4048 with QL 7: the flattest is QB3.
    EXPECT_EQ(text_of(item(ID_BOX_NAME)), "L\xE5"
                                          "da: basreflex, QB3");
    choose(ID_BOX_CHOICE, VENTED_CHOICE_COUNT - 1); // built
    EXPECT_TRUE(IsWindowEnabled(item(ID_BOX_FIELD + FORM_FB)));
    set_field(FORM_VB, "60");
    set_field(FORM_FB, "28");
    EXPECT_TRUE(design().empty());
    EXPECT_EQ(figure(FIG_VB, 1), "60.00");
    EXPECT_EQ(figure(FIG_FB, 1), "28.00");
}

TEST_F(BoxDialog, TheKeyboardWorksAsInADialogAndOnlyThere) {
    show_box_dialog(window);
    const HWND d = box_dialog();
    HWND first = item(ID_BOX_TYPE);
    SetFocus(first);
    key(first, VK_TAB);
    EXPECT_EQ(GetFocus(), item(ID_BOX_CHOICE));
    // Enter in a field designs the box: a wrong text brings its box up.
    set_field(FORM_QTC, "x");
    SetFocus(item(ID_BOX_FIELD + FORM_QTC));
    start_catching_boxes();
    key(item(ID_BOX_FIELD + FORM_QTC), VK_RETURN);
    const std::vector<CaughtBox> boxes = stop_catching_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Qtc: Anv\xE4nd endast siffror!");
    // The calculator's fields keep their own keys: the dialog does not take them.
    MSG m{calculator_field(1), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_FALSE(wt_dialog_message(&m));
    key(item(ID_BOX_FIELD + FORM_QTC), VK_ESCAPE);
    EXPECT_FALSE(IsWindow(d));
}

TEST_F(BoxDialog, SweepsOpenedInTheWindowLendTheBoxTheirErrors) {
    const char *const paths[IMPORT_MAX_SWEEPS] = {ELEMTRIX_EXAMPLES "/mid-free.zma",
                                                  ELEMTRIX_EXAMPLES "/mid-20g.zma"};
    const char *const typed[INPUT_COUNT] = {"", "", "", "132", "", "", "", "", "", "20"};
    type_inputs(typed);
    ImportRequest request;
    SweepImport result;
    ASSERT_TRUE(fill_from_sweeps(window, paths, 2, request, result));
    show_box_dialog(window);
    EXPECT_EQ(text_of(item(ID_BOX_SOURCE)), FROM_FIT);
    EXPECT_EQ(figure(FIG_VB, 2).substr(0, 2), "\xB1 ");
    EXPECT_NE(figure(FIG_VB, 4), "");
    // Sd was typed, and counts as exact.
    EXPECT_NE(text_of(item(ID_BOX_NOTES)).find("Exakta (utan standardfel): Sd"), std::string::npos)
        << text_of(item(ID_BOX_NOTES));
}

} // namespace
