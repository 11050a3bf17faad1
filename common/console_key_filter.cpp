#include "console_key_filter.h"

namespace {

bool in_range(std::uint16_t key, std::uint16_t first, std::uint16_t last) {
    return key >= first && key <= last;
}

// Keys that change what the other keys do instead of being keys of their own:
// Shift, Ctrl, Alt (either side), the Windows keys, the lock keys and the
// Japanese input mode keys.
bool is_state_key(std::uint16_t key) {
    using namespace console_keys;
    switch (key) {
    case shift:
    case control:
    case alt:
    case caps_lock:
    case num_lock:
    case scroll_lock:
    case left_windows:
    case right_windows:
    case kana:
    case kanji:
    case convert:
    case non_convert:
    case ime_process:
        return true;
    default:
        return in_range(key, left_shift, right_alt) || in_range(key, first_mode_key, last_mode_key);
    }
}

// Keys that have an extended code of their own, with or without a modifier.
bool has_own_extended_code(std::uint16_t key) {
    using namespace console_keys;
    switch (key) {
    case page_up:
    case page_down:
    case end:
    case home:
    case left:
    case up:
    case right:
    case down:
    case insert:
    case delete_key:
    case clear:
        return true;
    default:
        return in_range(key, f1, f12) || in_range(key, numpad_0, numpad_divide);
    }
}

} // namespace

bool ends_key_wait(const console_input_event& event) {
    if (event.kind != console_event_kind::key || !event.key_down) {
        return false;
    }
    if (event.character != 0) {
        return true;
    }
    const std::uint16_t key = event.virtual_key_code;
    if (has_own_extended_code(key)) {
        return true;
    }
    // A key without a code of its own still has one when Ctrl or Alt is held,
    // unless it is itself a modifier: Ctrl held while Alt goes down is still
    // no key. A record without a key code (0) is not a key press either.
    return (event.control_held || event.alt_held) && key != 0 && !is_state_key(key);
}
