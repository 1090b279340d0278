#include "common/VirtualKeys.h"

#include <array>

namespace knokle {
namespace {

using K = NamedKey;

constexpr VirtualKey ch(std::uint32_t code, char c) {
    return {code, c, K::none, 0};
}
constexpr VirtualKey kp(std::uint32_t code, char c) {
    return {code, c, K::keypad, 0};
}
constexpr VirtualKey fn(std::uint32_t code, int n) {
    return {code, 0, K::function, n};
}
constexpr VirtualKey nk(std::uint32_t code, NamedKey key) {
    return {code, 0, key, 0};
}

constexpr std::array kKeys{
    ch(0, 'a'),
    ch(1, 's'),
    ch(2, 'd'),
    ch(3, 'f'),
    ch(4, 'h'),
    ch(5, 'g'),
    ch(6, 'z'),
    ch(7, 'x'),
    ch(8, 'c'),
    ch(9, 'v'),
    ch(11, 'b'),
    ch(12, 'q'),
    ch(13, 'w'),
    ch(14, 'e'),
    ch(15, 'r'),
    ch(16, 'y'),
    ch(17, 't'),
    ch(18, '1'),
    ch(19, '2'),
    ch(20, '3'),
    ch(21, '4'),
    ch(22, '6'),
    ch(23, '5'),
    ch(24, '='),
    ch(25, '9'),
    ch(26, '7'),
    ch(27, '-'),
    ch(28, '8'),
    ch(29, '0'),
    ch(30, ']'),
    ch(31, 'o'),
    ch(32, 'u'),
    ch(33, '['),
    ch(34, 'i'),
    ch(35, 'p'),
    ch(37, 'l'),
    ch(38, 'j'),
    ch(39, '\''),
    ch(40, 'k'),
    ch(41, ';'),
    ch(42, '\\'),
    ch(43, ','),
    ch(44, '/'),
    ch(45, 'n'),
    ch(46, 'm'),
    ch(47, '.'),
    ch(50, '`'),
    nk(36, K::returnKey),
    nk(48, K::tab),
    VirtualKey{49, ' ', K::space, 0},
    nk(51, K::backspace),
    nk(53, K::escape),
    kp(65, '.'),
    kp(67, '*'),
    kp(69, '+'),
    nk(71, K::keypadClear),
    kp(75, '/'),
    nk(76, K::keypadEnter),
    kp(78, '-'),
    kp(81, '='),
    kp(82, '0'),
    kp(83, '1'),
    kp(84, '2'),
    kp(85, '3'),
    kp(86, '4'),
    kp(87, '5'),
    kp(88, '6'),
    kp(89, '7'),
    kp(91, '8'),
    kp(92, '9'),
    fn(122, 1),
    fn(120, 2),
    fn(99, 3),
    fn(118, 4),
    fn(96, 5),
    fn(97, 6),
    fn(98, 7),
    fn(100, 8),
    fn(101, 9),
    fn(109, 10),
    fn(103, 11),
    fn(111, 12),
    fn(105, 13),
    fn(107, 14),
    fn(113, 15),
    fn(106, 16),
    fn(64, 17),
    fn(79, 18),
    fn(80, 19),
    fn(90, 20),
    nk(114, K::help),
    nk(115, K::home),
    nk(116, K::pageUp),
    nk(117, K::forwardDelete),
    nk(119, K::end),
    nk(121, K::pageDown),
    nk(123, K::left),
    nk(124, K::right),
    nk(125, K::down),
    nk(126, K::up),
};

} // namespace

std::span<const VirtualKey> virtualKeys() {
    return kKeys;
}

std::optional<VirtualKey> virtualKey(std::uint32_t code) {
    for (const auto& key : kKeys)
        if (key.code == code) return key;
    return std::nullopt;
}

} // namespace knokle
