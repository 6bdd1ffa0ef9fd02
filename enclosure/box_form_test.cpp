#include "enclosure/box_form.h"

#include "enclosure/box_driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

BoxForm form_of(BoxType type, int choice,
                std::initializer_list<std::pair<BoxFormField, const char *>> texts) {
    BoxForm f = initial_box_form();
    f.type = type;
    f.choice = choice;
    for (const auto &t : texts)
        std::snprintf(f.text[t.first], BOX_FORM_TEXT_SIZE, "%s", t.second);
    return f;
}

std::string message_of(const BoxForm &form) {
    BoxRequest r;
    char message[BOX_FORM_MESSAGE_SIZE] = "";
    EXPECT_FALSE(box_form_request(form, r, message));
    return message;
}

BoxRequest request_of(const BoxForm &form) {
    BoxRequest r;
    char message[BOX_FORM_MESSAGE_SIZE] = "";
    EXPECT_TRUE(box_form_request(form, r, message)) << message;
    return r;
}

// The sealed example of the published tables: Fs 37 Hz, Vas 30 L, Qts 0.38.
BoxDriver table_driver() {
    BoxDriver d;
    d.value[DRIVER_FS] = 37;
    d.value[DRIVER_QTS] = 0.38;
    d.value[DRIVER_VAS] = 30e-3;
    return d;
}

TEST(BoxFormRequest, TheFirstFormIsAButterworthClosedBox) {
    const BoxRequest r = request_of(initial_box_form());
    EXPECT_EQ(r.type, BOX_SEALED);
    EXPECT_EQ(r.alignment, ALIGN_QTC);
    EXPECT_DOUBLE_EQ(r.qtc, 0.707);
    EXPECT_DOUBLE_EQ(r.power, 1);
    EXPECT_EQ(r.xmax, 0); // empty: unknown
    EXPECT_EQ(r.pe, 0);
}

TEST(BoxFormRequest, FieldsTakeTheirUnitsToSI) {
    const BoxRequest r = request_of(form_of(BOX_VENTED, VENTED_CHOICE_COUNT - 1,
                                            {{FORM_VB, "40"},
                                             {FORM_FB, "32.5"},
                                             {FORM_QL, "10"},
                                             {FORM_PORT, "7.5"},
                                             {FORM_PORTS, "2"},
                                             {FORM_XMAX, "6"},
                                             {FORM_PE, "80"},
                                             {FORM_POWER, "5"}}));
    EXPECT_EQ(r.type, BOX_VENTED);
    EXPECT_EQ(r.alignment, ALIGN_BUILT);
    EXPECT_DOUBLE_EQ(r.vb, 0.040);
    EXPECT_DOUBLE_EQ(r.fb, 32.5);
    EXPECT_DOUBLE_EQ(r.ql, 10);
    EXPECT_DOUBLE_EQ(r.port_diameter, 0.075);
    EXPECT_EQ(r.ports, 2);
    EXPECT_DOUBLE_EQ(r.xmax, 0.006);
    EXPECT_DOUBLE_EQ(r.pe, 80);
    EXPECT_DOUBLE_EQ(r.power, 5);
}

TEST(BoxFormRequest, EachChoiceIsItsAlignment) {
    const BoxAlignment vented[VENTED_CHOICE_COUNT] = {
        ALIGN_FLATTEST, ALIGN_B4, ALIGN_QB3, ALIGN_SC4, ALIGN_C4, ALIGN_BB4, ALIGN_BUILT};
    for (int i = 0; i < VENTED_CHOICE_COUNT; ++i)
        EXPECT_EQ(request_of(form_of(BOX_VENTED, i, {{FORM_VB, "40"}, {FORM_FB, "30"}})).alignment,
                  vented[i]);
    EXPECT_EQ(request_of(form_of(BOX_SEALED, 1, {{FORM_VB, "20"}})).alignment, ALIGN_BUILT);
    EXPECT_STREQ(VENTED_CHOICES[VENTED_CHOICE_COUNT - 1].name, "Byggd l\xE5"
                                                               "da");
}

TEST(BoxFormRequest, OnlyTheFieldsThatCountAreRead) {
    // A sealed box of a given Qtc reads neither Vb nor the port; a vented default no Qtc.
    const BoxRequest sealed = request_of(
        form_of(BOX_SEALED, 0, {{FORM_VB, "x"}, {FORM_FB, ","}, {FORM_PORT, "a"}, {FORM_QL, "b"}}));
    EXPECT_EQ(sealed.vb, 0);
    EXPECT_EQ(sealed.port_diameter, 0);
    EXPECT_DOUBLE_EQ(sealed.ql, DEFAULT_QL);
    const BoxForm vented = form_of(BOX_VENTED, 0, {{FORM_QTC, "q"}, {FORM_VB, ""}});
    EXPECT_EQ(request_of(vented).alignment, ALIGN_FLATTEST);
    EXPECT_FALSE(box_form_uses(vented, FORM_QTC));
    EXPECT_FALSE(box_form_uses(vented, FORM_FB));
    EXPECT_TRUE(box_form_uses(vented, FORM_PORT));
    EXPECT_TRUE(box_form_uses(form_of(BOX_VENTED, 6, {}), FORM_FB));
}

TEST(BoxFormRequest, AFieldThatIsNoNumberIsNamedInTheCalculatorsWords) {
    EXPECT_EQ(message_of(form_of(BOX_VENTED, 0, {{FORM_QL, "7,5"}})),
              "QL: Anv\xE4nd punkt som komma!");
    EXPECT_EQ(message_of(form_of(BOX_SEALED, 0, {{FORM_XMAX, "5mm"}})),
              "Xmax: Anv\xE4nd endast siffror!");
    EXPECT_EQ(message_of(form_of(BOX_SEALED, 1, {{FORM_VB, ""}})), "Vb: Ingen inmatning!");
    EXPECT_EQ(message_of(form_of(BOX_VENTED, 6, {{FORM_VB, "40"}, {FORM_FB, ""}})),
              "Fb: Ingen inmatning!");
    EXPECT_EQ(message_of(form_of(BOX_SEALED, 0, {{FORM_POWER, ""}})), "Effekt: Ingen inmatning!");
    EXPECT_EQ(message_of(form_of(BOX_VENTED, 0, {{FORM_PORTS, "1.5"}})),
              "Antal portar: Ange ett helt antal!");
    // The first field in the form's order is the one named.
    EXPECT_EQ(message_of(form_of(BOX_VENTED, 6, {{FORM_VB, "x"}, {FORM_FB, "y"}})),
              "Vb: Anv\xE4nd endast siffror!");
}

TEST(BoxFigureTexts, FiguresShowWithTheirUnitsDecimalsAndErrors) {
    BoxDesign design;
    MeasureError error;
    BoxDriver driver = table_driver();
    ASSERT_TRUE(design_box(driver, request_of(initial_box_form()), design, error));
    const BoxFigureTexts vb = box_figure_texts(design, BOX_FIGURE_ROWS[FIG_VB]);
    EXPECT_STREQ(vb.value, "12.19");
    EXPECT_STREQ(vb.error, "");
    EXPECT_STREQ(vb.dominant, "");
    EXPECT_STREQ(box_figure_texts(design, BOX_FIGURE_ROWS[FIG_QTC]).value, "0.707");
    EXPECT_STREQ(box_figure_texts(design, BOX_FIGURE_ROWS[FIG_F3]).value, "68.85");
    // A closed box has no Fb; without Sd, Re, Bl there is no excursion.
    EXPECT_STREQ(box_figure_texts(design, BOX_FIGURE_ROWS[FIG_FB]).value, "");
    EXPECT_STREQ(box_figure_texts(design, BOX_FIGURE_ROWS[FIG_EXCURSION]).value, "");

    driver.covariance[DRIVER_VAS][DRIVER_VAS] = 3e-3 * 3e-3; // Vas ± 3 L
    driver.covariance[DRIVER_QTS][DRIVER_QTS] = 0.001 * 0.001;
    ASSERT_TRUE(design_box(driver, request_of(initial_box_form()), design, error));
    const BoxFigureTexts with = box_figure_texts(design, BOX_FIGURE_ROWS[FIG_VB]);
    EXPECT_STREQ(with.value, "12.19");
    char expected[BOX_FIGURE_TEXT_SIZE];
    std::snprintf(expected, sizeof expected, "\xB1 %.2f", design.figure[FIG_VB].error * 1e3);
    EXPECT_STREQ(with.error, expected);
    EXPECT_GT(design.figure[FIG_VB].error * 1e3, 1.1); // Vb goes with Vas
    EXPECT_STREQ(with.dominant, "(mest fr\xE5n Vas)");
    for (const BoxFigureRow &row : BOX_FIGURE_ROWS)
        EXPECT_EQ(&row - BOX_FIGURE_ROWS, row.id) << row.caption;
}

TEST(BoxDriverOfInputs, TheValueColumnsParametersInSI) {
    DriverInputs in{};
    const double worked[INPUT_COUNT] = {30, 6, 40, 500, 50, 3, 0.45, 0.39, 25, 20};
    for (int i = 0; i < INPUT_COUNT; ++i)
        in.entry[i].value = worked[i];
    double p[DRIVER_PARAMETER_COUNT];
    box_parameters_of(in, p);
    EXPECT_DOUBLE_EQ(p[DRIVER_FS], 30);
    EXPECT_DOUBLE_EQ(p[DRIVER_VAS], 0.050);
    EXPECT_DOUBLE_EQ(p[DRIVER_SD], 0.050);
    EXPECT_NEAR(p[DRIVER_MMS], 45.45e-3, 1e-5);
    EXPECT_NEAR(p[DRIVER_BL], 10.70, 0.005);
    EXPECT_DOUBLE_EQ(p[DRIVER_RE], 6);
    EXPECT_DOUBLE_EQ(p[DRIVER_QES], 0.45);
}

TEST(BoxDriverOfInputs, UnknownValuesLoseTheirCovarianceAndOptionalOnesBecomeZero) {
    CovariedDriver fit{};
    for (int i = 0; i < COVARIED_COUNT; ++i) {
        fit.value[i] = 1 + i;
        for (int j = 0; j < COVARIED_COUNT; ++j)
            fit.covariance[i][j] = 0.01 * (1 + i + j);
    }
    fit.value[CV_BL] = NAN; // no added mass
    fit.covariance[CV_BL][CV_BL] = NAN;
    BoxDriver d;
    box_driver_from_fit(fit, d);
    EXPECT_DOUBLE_EQ(d.value[DRIVER_VAS], fit.value[CV_VAS] * 1e-3);
    EXPECT_DOUBLE_EQ(d.covariance[DRIVER_VAS][DRIVER_SD], fit.covariance[CV_VAS][CV_SD] * 1e-7);
    EXPECT_DOUBLE_EQ(d.covariance[DRIVER_MMS][DRIVER_FS], fit.covariance[CV_MMS][CV_FS] * 1e-3);
    d.value[DRIVER_QES] = -1;
    bool known[DRIVER_PARAMETER_COUNT];
    mark_unknown_parameters(d, known);
    EXPECT_FALSE(known[DRIVER_BL]);
    EXPECT_FALSE(known[DRIVER_QES]);
    EXPECT_TRUE(known[DRIVER_FS]);
    EXPECT_EQ(d.value[DRIVER_BL], 0);
    EXPECT_EQ(d.value[DRIVER_QES], 0);
    for (int i = 0; i < DRIVER_PARAMETER_COUNT; ++i) {
        EXPECT_EQ(d.covariance[DRIVER_BL][i], 0);
        EXPECT_EQ(d.covariance[i][DRIVER_QES], 0);
    }
    EXPECT_GT(d.covariance[DRIVER_FS][DRIVER_VAS], 0);
    // Fs, Qts and Vas stay as they are, for the design to refuse.
    d.value[DRIVER_VAS] = NAN;
    mark_unknown_parameters(d, known);
    EXPECT_TRUE(std::isnan(d.value[DRIVER_VAS]));
}

} // namespace
