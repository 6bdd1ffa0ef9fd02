// The box as a form of texts, for the window: the choices and fields a user fills in, read into
// a request for design_box, and the design's figures as the texts shown for them. Every text is
// Windows-1252.
#pragma once

#include "enclosure/box.h"

enum BoxFormField {
    FORM_QTC,
    FORM_VB,
    FORM_FB,
    FORM_QL,
    FORM_PORT,
    FORM_PORTS,
    FORM_XMAX,
    FORM_PE,
    FORM_POWER,
    BOX_FORM_FIELD_COUNT
};

struct BoxFormFieldRow {
    const char *caption;
    const char *unit;
    const char *initial;
    bool optional; // an empty text leaves the figures that need it out
};
extern const BoxFormFieldRow BOX_FORM_FIELDS[BOX_FORM_FIELD_COUNT];
constexpr int BOX_FORM_TEXT_LIMIT = 8; // characters, as the calculator's fields
constexpr int BOX_FORM_TEXT_SIZE = BOX_FORM_TEXT_LIMIT + 1;
constexpr int BOX_FORM_MESSAGE_SIZE = 128;

// "Sluten", "Basreflex", in the order of BoxType.
extern const char *const BOX_TYPE_NAMES[2];

struct BoxChoice {
    const char *name;
    BoxAlignment alignment;
};
// What each type can be designed as, its default first and the box the user has built last.
constexpr int SEALED_CHOICE_COUNT = 2, VENTED_CHOICE_COUNT = 7;
extern const BoxChoice SEALED_CHOICES[SEALED_CHOICE_COUNT];
extern const BoxChoice VENTED_CHOICES[VENTED_CHOICE_COUNT];
int box_choices(BoxType type, const BoxChoice *&choices);

struct BoxForm {
    BoxType type;
    int choice; // of the type's choices
    char text[BOX_FORM_FIELD_COUNT][BOX_FORM_TEXT_SIZE];
};

// The form as a user first sees it.
BoxForm initial_box_form();

// Whether the field counts for the type and the choice made.
bool box_form_uses(const BoxForm &form, BoxFormField field);

// The request that the form makes. False, with the message of the first field that counts and
// does not hold a number ("QL: Använd endast siffror!"), or that is needed and empty.
bool box_form_request(const BoxForm &form, BoxRequest &request,
                      char (&message)[BOX_FORM_MESSAGE_SIZE]);

// How each figure is shown: its caption, unit, the factor from SI and its decimals.
struct BoxFigureRow {
    BoxFigureId id;
    const char *caption;
    const char *unit;
    double scale;
    int decimals;
};
extern const BoxFigureRow BOX_FIGURE_ROWS[BOX_FIGURE_COUNT];

constexpr int BOX_FIGURE_TEXT_SIZE = 40;
struct BoxFigureTexts {
    char value[BOX_FIGURE_TEXT_SIZE];    // "12.19"; empty where the figure does not apply
    char error[BOX_FIGURE_TEXT_SIZE];    // "± 0.85"; empty without errors
    char dominant[BOX_FIGURE_TEXT_SIZE]; // "(mest från Vas)"; empty without errors
};
BoxFigureTexts box_figure_texts(const BoxDesign &design, const BoxFigureRow &row);
