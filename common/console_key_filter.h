#pragma once
// Which console input record ends the closing key wait. The Windows side reads
// the console's input records and turns each into a console_input_event; the
// decision itself is portable, so that it can be tested anywhere.

#include <cstdint>

enum class console_event_kind { key, mouse, focus, window_size, menu, other };

struct console_input_event {
    console_event_kind kind = console_event_kind::other;
    bool key_down = false;
    // The Windows virtual-key code of the key (see console_keys).
    std::uint16_t virtual_key_code = 0;
    // The character the key yields, 0 when it yields none.
    std::uint32_t character = 0;
    // Either Ctrl key, either Alt key held down (AltGr holds both).
    bool control_held = false;
    bool alt_held = false;
};

// The Windows virtual-key codes of the keys that the decision tells apart.
namespace console_keys {
inline constexpr std::uint16_t clear = 0x0C; // keypad 5 with Num Lock off
inline constexpr std::uint16_t shift = 0x10;
inline constexpr std::uint16_t control = 0x11;
inline constexpr std::uint16_t alt = 0x12;
inline constexpr std::uint16_t caps_lock = 0x14;
inline constexpr std::uint16_t kana = 0x15;
inline constexpr std::uint16_t kanji = 0x19;
inline constexpr std::uint16_t convert = 0x1C;
inline constexpr std::uint16_t non_convert = 0x1D;
inline constexpr std::uint16_t page_up = 0x21;
inline constexpr std::uint16_t page_down = 0x22;
inline constexpr std::uint16_t end = 0x23;
inline constexpr std::uint16_t home = 0x24;
inline constexpr std::uint16_t left = 0x25;
inline constexpr std::uint16_t up = 0x26;
inline constexpr std::uint16_t right = 0x27;
inline constexpr std::uint16_t down = 0x28;
inline constexpr std::uint16_t insert = 0x2D;
inline constexpr std::uint16_t delete_key = 0x2E;
inline constexpr std::uint16_t left_windows = 0x5B;
inline constexpr std::uint16_t right_windows = 0x5C;
inline constexpr std::uint16_t numpad_0 = 0x60;
inline constexpr std::uint16_t numpad_divide = 0x6F; // the last keypad key
inline constexpr std::uint16_t f1 = 0x70;
inline constexpr std::uint16_t f12 = 0x7B;
inline constexpr std::uint16_t num_lock = 0x90;
inline constexpr std::uint16_t scroll_lock = 0x91;
inline constexpr std::uint16_t left_shift = 0xA0;
inline constexpr std::uint16_t right_alt = 0xA5; // the last left or right modifier
inline constexpr std::uint16_t ime_process = 0xE5;
// The input mode keys of a Japanese keyboard (Eisu, Katakana/Hiragana,
// Hankaku/Zenkaku, Romaji and their neighbours).
inline constexpr std::uint16_t first_mode_key = 0xF0;
inline constexpr std::uint16_t last_mode_key = 0xF5;
} // namespace console_keys

// True when the record ends the key wait: a key press that yields a
// character, or one without a character whose key has an extended code (the
// function keys F1 to F12, the arrow and editing keys, the numeric keypad, and
// any other key pressed while Ctrl or Alt is held). Skipped: releases; mouse,
// focus, window and menu events; and the modifier, lock and input mode keys
// themselves, whatever else is held.
bool ends_key_wait(const console_input_event& event);
