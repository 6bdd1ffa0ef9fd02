#include "engine/calculate.h"

#include <cstring>

std::vector<InputError> calculate(DriverInputs &inputs, DriverResults &results) {
    const InputErrors text = check_input_texts(inputs);
    std::vector<InputError> findings(text.item, text.item + text.count);
    convert_inputs(inputs);
    const InputErrors value = check_input_values(inputs);
    findings.insert(findings.end(), value.item, value.item + value.count);
    results = compute_results(inputs);
    return findings;
}

void set_input_texts(DriverInputs &inputs, const DriverFileLines &lines) {
    for (int i = 0; i < INPUT_COUNT; ++i) {
        // Lines are already cut to the field's limit, which is below the text's size.
        std::strncpy(inputs.entry[i].text, lines.text[i + 1], INPUT_TEXT_SIZE - 1);
        inputs.entry[i].text[INPUT_TEXT_SIZE - 1] = '\0';
    }
}
