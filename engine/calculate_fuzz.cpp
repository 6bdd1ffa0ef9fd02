// Any ten texts through checks, conversion and calculation: no crash, no undefined behaviour.
#include "engine/calculate.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    DriverInputs inputs{};
    // Each text takes up to 15 bytes; a zero byte ends it early, as in a field.
    for (int i = 0; i < INPUT_COUNT && size > 0; ++i) {
        const std::size_t n = size < INPUT_TEXT_SIZE - 1 ? size : INPUT_TEXT_SIZE - 1;
        std::memcpy(inputs.entry[i].text, data, n);
        data += n;
        size -= n;
    }
    DriverResults results;
    const std::vector<InputError> findings = calculate(inputs, results);
    // At most one character finding per examined position and field, one value finding each.
    if (findings.size() > INPUT_COUNT * 7)
        std::abort();
    for (const InputError &e : findings)
        if (input_error_message(e) == nullptr)
            std::abort();
    return 0;
}
