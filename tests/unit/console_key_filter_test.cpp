#include "console_key_filter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// Keys the decision does not name, as the console reports them.
constexpr std::uint16_t backspace_key = 0x08;
constexpr std::uint16_t tab_key = 0x09;
constexpr std::uint16_t enter_key = 0x0D;
constexpr std::uint16_t pause_key = 0x13;
constexpr std::uint16_t escape_key = 0x1B;
constexpr std::uint16_t space_key = 0x20;
constexpr std::uint16_t digit_1_key = 0x31;
constexpr std::uint16_t letter_a_key = 0x41;
constexpr std::uint16_t letter_c_key = 0x43;
constexpr std::uint16_t applications_key = 0x5D;
constexpr std::uint16_t numpad_5_key = 0x65;
constexpr std::uint16_t f5_key = 0x74;
constexpr std::uint16_t f13_key = 0x7C;
constexpr std::uint16_t left_control_key = 0xA2;
constexpr std::uint16_t right_alt_key = 0xA5;
constexpr std::uint16_t volume_up_key = 0xAF;
constexpr std::uint16_t katakana_hiragana_key = 0xF2;
constexpr std::uint16_t hankaku_zenkaku_key = 0xF4;

enum class held { none, control, alt, control_and_alt };

console_input_event press(std::uint16_t key, std::uint32_t character, held modifiers = held::none) {
    console_input_event event;
    event.kind = console_event_kind::key;
    event.key_down = true;
    event.virtual_key_code = key;
    event.character = character;
    event.control_held = modifiers == held::control || modifiers == held::control_and_alt;
    event.alt_held = modifiers == held::alt || modifiers == held::control_and_alt;
    return event;
}

console_input_event release(std::uint16_t key, std::uint32_t character) {
    console_input_event event = press(key, character);
    event.key_down = false;
    return event;
}

console_input_event other_event(console_event_kind kind) {
    console_input_event event;
    event.kind = kind;
    return event;
}

// A record that would end the wait if it were a key press.
console_input_event non_key_with_key_fields(console_event_kind kind) {
    console_input_event event = press(letter_a_key, 'a');
    event.kind = kind;
    return event;
}

struct key_case {
    const char* what;
    console_input_event event;
    bool ends;
};

TEST(EndsKeyWait, TellsKeysFromOtherRecords) {
    using namespace console_keys;
    const std::vector<key_case> cases = {
        // Keys that yield a character.
        {"letter pressed", press(letter_a_key, 'a'), true},
        {"letter released", release(letter_a_key, 'a'), false},
        {"digit", press(digit_1_key, '1'), true},
        {"space", press(space_key, ' '), true},
        {"Enter", press(enter_key, '\r'), true},
        {"Esc", press(escape_key, 0x1B), true},
        {"Tab", press(tab_key, '\t'), true},
        {"Backspace", press(backspace_key, 0x08), true},
        {"Ctrl+C arrives as character 3", press(letter_c_key, 3, held::control), true},
        {"Ctrl+C released", release(letter_c_key, 3), false},
        {"keypad digit with Num Lock on", press(numpad_5_key, '5'), true},
        {"kanji from the input method", press(0, 0x6F22), true},
        {"AltGr character", press(letter_a_key, 0xE1, held::control_and_alt), true},
        // Keys without a character that have an extended code.
        {"F1", press(f1, 0), true},
        {"F5", press(f5_key, 0), true},
        {"F12", press(f12, 0), true},
        {"F12 released", release(f12, 0), false},
        {"Up", press(up, 0), true},
        {"Down", press(down, 0), true},
        {"Left", press(left, 0), true},
        {"Right", press(right, 0), true},
        {"Right released", release(right, 0), false},
        {"Home", press(home, 0), true},
        {"End", press(end, 0), true},
        {"Page Up", press(page_up, 0), true},
        {"Page Down", press(page_down, 0), true},
        {"Insert", press(insert, 0), true},
        {"Delete", press(delete_key, 0), true},
        {"keypad 5 with Num Lock off", press(clear, 0), true},
        {"keypad 0 without a character", press(numpad_0, 0), true},
        {"keypad divide without a character", press(numpad_divide, 0), true},
        {"Ctrl+1 (no character)", press(digit_1_key, 0, held::control), true},
        {"Alt+A (no character)", press(letter_a_key, 0, held::alt), true},
        // Ctrl+Alt with a key that yields nothing counts as an Alt combination.
        {"Ctrl+Alt+A (no character)", press(letter_a_key, 0, held::control_and_alt), true},
        {"Ctrl+Alt+F5", press(f5_key, 0, held::control_and_alt), true},
        {"Alt+Pause", press(pause_key, 0, held::alt), true},
        // Keys without a character and without an extended code.
        {"F13", press(f13_key, 0), false},
        {"Pause", press(pause_key, 0), false},
        {"Applications", press(applications_key, 0), false},
        {"volume up", press(volume_up_key, 0), false},
        {"no key code, no character, Ctrl held", press(0, 0, held::control), false},
        // Modifier, lock and input mode keys, alone or with Ctrl or Alt held.
        {"Shift", press(shift, 0), false},
        {"left Shift", press(left_shift, 0), false},
        {"Ctrl", press(control, 0, held::control), false},
        {"left Ctrl", press(left_control_key, 0, held::control), false},
        {"Alt", press(alt, 0, held::alt), false},
        {"right Alt", press(right_alt_key, 0, held::alt), false},
        {"Alt pressed while Ctrl is held", press(alt, 0, held::control_and_alt), false},
        {"Shift pressed while Ctrl is held", press(shift, 0, held::control), false},
        {"Caps Lock", press(caps_lock, 0), false},
        {"Num Lock", press(num_lock, 0), false},
        {"Scroll Lock", press(scroll_lock, 0), false},
        {"left Windows", press(left_windows, 0), false},
        {"right Windows", press(right_windows, 0), false},
        {"Kana", press(kana, 0), false},
        {"Kanji", press(kanji, 0), false},
        {"Convert", press(convert, 0), false},
        {"Non-convert", press(non_convert, 0), false},
        {"input method processing", press(ime_process, 0), false},
        {"Katakana/Hiragana", press(katakana_hiragana_key, 0), false},
        {"Alt+Hankaku/Zenkaku", press(hankaku_zenkaku_key, 0, held::alt), false},
        // Records that are not key presses.
        {"mouse", other_event(console_event_kind::mouse), false},
        {"focus", other_event(console_event_kind::focus), false},
        {"window size", other_event(console_event_kind::window_size), false},
        {"menu", other_event(console_event_kind::menu), false},
        {"unknown record", other_event(console_event_kind::other), false},
        {"mouse with key fields set", non_key_with_key_fields(console_event_kind::mouse), false},
        {"focus with key fields set", non_key_with_key_fields(console_event_kind::focus), false},
    };
    for (const key_case& c : cases) {
        EXPECT_EQ(ends_key_wait(c.event), c.ends) << c.what;
    }
}

} // namespace
