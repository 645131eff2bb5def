// Full Fidelity: numbers in the number formats of lists and notes: digits
// of other scripts, alphabets counted through, enclosed numbers, counting
// systems with unit characters, and numbers in words (words.cpp).
#include "docx2html/fidelity/numbers.h"

#include "core/uStr.h"

#include <array>
#include <unordered_map>
#include <vector>

#include "docx2html/fidelity/words.h"

namespace tavin {

namespace {

// The UTF-8 of a code point.
std::string utf8(char32_t c) {
    std::string s;
    appendUtf8(s, c);
    return s;
}

// The characters of a UTF-8 text, one string each.
std::vector<std::string> characters(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = 1;
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0xF0) len = 4;
        else if (b >= 0xE0) len = 3;
        else if (b >= 0xC0) len = 2;
        out.emplace_back(text.substr(i, len));
        i += len;
    }
    return out;
}

// The decimal digits of n written with the ten characters of digits.
std::string digitsIn(int n, std::string_view digits) {
    const std::vector<std::string> d = characters(digits);
    std::string out;
    for (const char c : std::to_string(n)) out += d[static_cast<std::size_t>(c - '0')];
    return out;
}

// Through an alphabet as list letters count: its letters once, then each
// doubled, then tripled ("a" ... "z", "aa" ... "zz", "aaa").
std::string alphabet(int n, std::string_view letters) {
    const std::vector<std::string> a = characters(letters);
    if (n < 1) return std::to_string(n);
    const auto size = static_cast<int>(a.size());
    std::string out;
    for (int k = 0; k <= (n - 1) / size; ++k) out += a[static_cast<std::size_t>((n - 1) % size)];
    return out;
}

// A character of consecutive code points for 1 ... count, else decimal.
std::string enclosed(int n, char32_t first, int count) {
    return n >= 1 && n <= count ? utf8(first + static_cast<char32_t>(n - 1)) : std::to_string(n);
}

// Circled numbers: 1-20, 21-35 and 36-50 lie in three blocks.
std::string circled(int n) {
    if (n >= 21 && n <= 35) return utf8(0x3251 + static_cast<char32_t>(n - 21));
    if (n >= 36 && n <= 50) return utf8(0x32B1 + static_cast<char32_t>(n - 36));
    return enclosed(n, 0x2460, 20);
}

// A counting system of ideographs or syllables: digits one to nine, the
// units ten, hundred, thousand and ten thousand, a zero written where a
// group of zeros stands between digits (or none), and whether a one before
// ten, hundred or thousand is left out ("十" rather than "一十").
struct Counting {
    std::string_view digits;                 // zero, then one to nine
    std::array<std::string_view, 4> units;   // ten, hundred, thousand, ten thousand
    bool zeros;                              // a zero between digits
    bool bareTen;                            // a one before ten is left out
    bool bareUnits;                          // a one before hundred and thousand too
};

// n below 10000 in a counting system; "" for 0.
std::string countBelowTenThousand(int n, const Counting& c) {
    const std::vector<std::string> d = characters(c.digits);
    std::string out;
    bool gap = false;
    for (int unit = 3; unit >= 0; --unit) {
        int place = 1;
        for (int k = 0; k < unit; ++k) place *= 10;
        const int digit = n / place % 10;
        if (digit == 0) {
            gap = !out.empty();
            continue;
        }
        if (gap && c.zeros) out += d[0];
        gap = false;
        const bool bareTen = unit == 1 && c.bareTen && (out.empty() || c.bareUnits);
        const bool bare = digit == 1 && (bareTen || (unit > 1 && c.bareUnits));
        if (!bare) out += d[static_cast<std::size_t>(digit)];
        if (unit > 0) out += c.units[static_cast<std::size_t>(unit - 1)];
    }
    return out;
}

std::string count(int n, const Counting& c) {
    if (n == 0) return characters(c.digits)[0];
    if (n < 10000) return countBelowTenThousand(n, c);
    const int low = n % 10000;
    std::string out = countBelowTenThousand(n / 10000, c) + std::string(c.units[3]);
    if (low > 0 && low < 1000 && c.zeros) out += characters(c.digits)[0];
    // Past the ten thousands, ten is bare only where hundreds are.
    Counting inner = c;
    inner.bareTen = c.bareTen && c.bareUnits;
    return out + countBelowTenThousand(low, inner);
}

const Counting kJapanese{"〇一二三四五六七八九", {"十", "百", "千", "万"}, false, true, true};
const Counting kJapaneseLegal{"〇壱弐参四伍六七八九", {"拾", "百", "阡", "萬"}, false, false, false};
const Counting kChinese{"零一二三四五六七八九", {"十", "百", "千", "万"}, true, true, false};
const Counting kTaiwanese{"零一二三四五六七八九", {"十", "百", "千", "萬"}, true, true, false};
const Counting kChineseLegal{"零壹贰叁肆伍陆柒捌玖", {"拾", "佰", "仟", "万"}, true, false, false};
const Counting kTraditionalLegal{"零壹貳參肆伍陸柒捌玖", {"拾", "佰", "仟", "萬"}, true, false, false};
const Counting kKorean{"영일이삼사오육칠팔구", {"십", "백", "천", "만"}, false, true, true};

// Digit by digit, with the ten thousands set off by "万".
std::string japaneseDigitalTenThousand(int n) {
    static constexpr std::string_view kDigits = "〇一二三四五六七八九";
    if (n < 10000) return digitsIn(n, kDigits);
    std::string low = digitsIn(n % 10000, kDigits);
    const std::string zero = "〇";
    while (low.size() < 4 * zero.size()) low.insert(0, zero);
    return digitsIn(n / 10000, kDigits) + "万" + low;
}

// Native Korean numbers, one to ninety-nine.
std::string koreanLegal(int n) {
    static const char* const kOnes[] = {"", "하나", "둘", "셋", "넷", "다섯", "여섯", "일곱", "여덟", "아홉"};
    static const char* const kTens[] = {"", "열", "스물", "서른", "마흔", "쉰", "예순", "일흔", "여든", "아흔"};
    if (n < 1 || n > 99) return count(n, kKorean);
    return std::string(kTens[n / 10]) + kOnes[n % 10];
}

// Hebrew numerals: letters of hundreds, tens and ones, with 15 and 16
// written nine and six or seven, as they always are.
std::string hebrewNumerals(int n) {
    static const char* const kOnes[] = {"", "א", "ב", "ג", "ד", "ה", "ו", "ז", "ח", "ט"};
    static const char* const kTens[] = {"", "י", "כ", "ל", "מ", "נ", "ס", "ע", "פ", "צ"};
    static const char* const kHundreds[] = {"", "ק", "ר", "ש", "ת"};
    if (n < 1) return std::to_string(n);
    std::string out;
    int rest = n % 1000;
    if (n >= 1000) out += hebrewNumerals(n / 1000);
    for (; rest >= 400; rest -= 400) out += kHundreds[4];
    if (rest >= 100) out += kHundreds[rest / 100];
    rest %= 100;
    if (rest == 15 || rest == 16) return out + kOnes[9] + kOnes[rest - 9];
    return out + kTens[rest / 10] + kOnes[rest % 10];
}

// Thai number words.
std::string thaiCounting(int n) {
    static const char* const kDigits[] = {"ศูนย์", "หนึ่ง", "สอง", "สาม", "สี่", "ห้า", "หก", "เจ็ด", "แปด", "เก้า"};
    static const char* const kUnits[] = {"", "สิบ", "ร้อย", "พัน", "หมื่น", "แสน", "ล้าน"};
    if (n == 0) return kDigits[0];
    const std::string s = std::to_string(n);
    if (s.size() > 7) return s;
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const int digit = s[i] - '0';
        const std::size_t unit = s.size() - 1 - i;
        if (digit == 0) continue;
        if (unit == 1 && digit == 2) out += "ยี่";
        else if (unit == 0 && digit == 1 && s.size() > 1) out += "เอ็ด";
        else if (!(unit == 1 && digit == 1)) out += kDigits[digit];
        out += kUnits[unit];
    }
    return out;
}

// Vietnamese number words.
std::string vietnameseBelowThousand(int n, bool inner) {
    static const char* const kDigits[] = {"không", "một", "hai", "ba", "bốn", "năm", "sáu", "bảy", "tám", "chín"};
    const int h = n / 100, t = n / 10 % 10, u = n % 10;
    std::string out;
    if (h > 0 || inner) out = std::string(kDigits[h]) + " trăm";
    if (t == 0 && u == 0) return out;
    if (!out.empty()) out += " ";
    if (t == 0 && !out.empty()) return out + "lẻ " + kDigits[u];
    if (t == 1) out += "mười";
    else if (t > 1) out += std::string(kDigits[t]) + " mươi";
    if (u == 0) return out;
    const char* unit = u == 5 && t > 0 ? "lăm" : u == 1 && t > 1 ? "mốt" : kDigits[u];
    return out.empty() ? unit : out + " " + unit;
}

std::string vietnameseCounting(int n) {
    if (n == 0) return "không";
    if (n < 1000) return vietnameseBelowThousand(n, false);
    const int low = n % 1000;
    std::string out = vietnameseBelowThousand(n / 1000, false) + " nghìn";
    return low == 0 ? out : out + " " + vietnameseBelowThousand(low, true);
}

// The sexagenary cycle: a heavenly stem and an earthly branch.
std::string zodiacTraditional(int n) {
    static constexpr std::string_view kStems = "甲乙丙丁戊己庚辛壬癸";
    static constexpr std::string_view kBranches = "子丑寅卯辰巳午未申酉戌亥";
    if (n < 1) return std::to_string(n);
    return characters(kStems)[static_cast<std::size_t>((n - 1) % 10)] +
           characters(kBranches)[static_cast<std::size_t>((n - 1) % 12)];
}

// A cycle of characters that are not counted on past its end.
std::string cycle(int n, std::string_view letters) {
    const std::vector<std::string> a = characters(letters);
    if (n < 1 || n > static_cast<int>(a.size())) return std::to_string(n);
    return a[static_cast<std::size_t>(n - 1)];
}

std::string numberInDash(int n) { return "- " + std::to_string(n) + " -"; }

std::string chicago(int n) {
    static const char* const kMarks[] = {"*", "†", "‡", "§"};
    if (n < 1) return std::to_string(n);
    std::string out;
    for (int k = 0; k <= (n - 1) / 4; ++k) out += kMarks[(n - 1) % 4];
    return out;
}

std::string hex(int n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[n % 16]);
        n /= 16;
    } while (n > 0);
    return out;
}

std::string decimalZero(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::string roman(int n, bool upper) {
    static const std::pair<int, const char*> kParts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"},
                                                         {100, "c"},  {90, "xc"},  {50, "l"},  {40, "xl"},
                                                         {10, "x"},   {9, "ix"},   {5, "v"},   {4, "iv"},
                                                         {1, "i"}};
    if (n < 1 || n >= 4000) return std::to_string(n);
    std::string out;
    for (const auto& [value, text] : kParts)
        for (; n >= value; n -= value) out += text;
    if (upper)
        for (char& c : out) c = static_cast<char>(c - 32);
    return out;
}

using Writer = std::string (*)(int n, std::string_view language);

// The formats by name. Alphabets are those each format names; a counting
// system writes its own zero.
const std::unordered_map<std::string_view, Writer>& writers() {
    static const std::unordered_map<std::string_view, Writer> table = {
        {"decimal", [](int n, std::string_view) { return std::to_string(n); }},
        {"decimalHalfWidth", [](int n, std::string_view) { return std::to_string(n); }},
        {"decimalZero", [](int n, std::string_view) { return decimalZero(n); }},
        {"upperRoman", [](int n, std::string_view) { return roman(n, true); }},
        {"lowerRoman", [](int n, std::string_view) { return roman(n, false); }},
        {"upperLetter", [](int n, std::string_view) { return alphabet(n, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"); }},
        {"lowerLetter", [](int n, std::string_view) { return alphabet(n, "abcdefghijklmnopqrstuvwxyz"); }},
        {"ordinal", [](int n, std::string_view l) { return ordinalDigits(n, l); }},
        {"cardinalText", [](int n, std::string_view l) { return capitalised(cardinalWords(n, l)); }},
        {"ordinalText", [](int n, std::string_view l) { return capitalised(ordinalWords(n, l)); }},
        {"hex", [](int n, std::string_view) { return hex(n); }},
        {"chicago", [](int n, std::string_view) { return chicago(n); }},
        {"numberInDash", [](int n, std::string_view) { return numberInDash(n); }},
        {"decimalFullWidth", [](int n, std::string_view) { return digitsIn(n, "０１２３４５６７８９"); }},
        {"decimalFullWidth2", [](int n, std::string_view) { return digitsIn(n, "０１２３４５６７８９"); }},
        {"hindiNumbers", [](int n, std::string_view) { return digitsIn(n, "०१२३४५६७८९"); }},
        {"thaiNumbers", [](int n, std::string_view) { return digitsIn(n, "๐๑๒๓๔๕๖๗๘๙"); }},
        {"ideographDigital", [](int n, std::string_view) { return digitsIn(n, "〇一二三四五六七八九"); }},
        {"taiwaneseDigital", [](int n, std::string_view) { return digitsIn(n, "〇一二三四五六七八九"); }},
        {"koreanDigital2", [](int n, std::string_view) { return digitsIn(n, "〇一二三四五六七八九"); }},
        {"koreanDigital", [](int n, std::string_view) { return digitsIn(n, "영일이삼사오육칠팔구"); }},
        {"japaneseDigitalTenThousand", [](int n, std::string_view) { return japaneseDigitalTenThousand(n); }},
        {"japaneseCounting", [](int n, std::string_view) { return count(n, kJapanese); }},
        {"japaneseLegal", [](int n, std::string_view) { return count(n, kJapaneseLegal); }},
        {"chineseCounting", [](int n, std::string_view) { return count(n, kChinese); }},
        {"chineseCountingThousand", [](int n, std::string_view) { return count(n, kChinese); }},
        {"taiwaneseCounting", [](int n, std::string_view) { return count(n, kTaiwanese); }},
        {"taiwaneseCountingThousand", [](int n, std::string_view) { return count(n, kTaiwanese); }},
        {"chineseLegalSimplified", [](int n, std::string_view) { return count(n, kChineseLegal); }},
        {"ideographLegalTraditional", [](int n, std::string_view) { return count(n, kTraditionalLegal); }},
        {"koreanCounting", [](int n, std::string_view) { return count(n, kKorean); }},
        {"koreanLegal", [](int n, std::string_view) { return koreanLegal(n); }},
        {"decimalEnclosedCircle", [](int n, std::string_view) { return circled(n); }},
        {"decimalEnclosedCircleChinese", [](int n, std::string_view) { return circled(n); }},
        {"decimalEnclosedFullstop", [](int n, std::string_view) { return enclosed(n, 0x2488, 20); }},
        {"decimalEnclosedParen", [](int n, std::string_view) { return enclosed(n, 0x2474, 20); }},
        {"ideographEnclosedCircle", [](int n, std::string_view) { return enclosed(n, 0x3280, 10); }},
        {"ideographTraditional", [](int n, std::string_view) { return cycle(n, "甲乙丙丁戊己庚辛壬癸"); }},
        {"ideographZodiac", [](int n, std::string_view) { return cycle(n, "子丑寅卯辰巳午未申酉戌亥"); }},
        {"ideographZodiacTraditional", [](int n, std::string_view) { return zodiacTraditional(n); }},
        {"aiueo", [](int n, std::string_view) {
             return alphabet(n, "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝ");
         }},
        {"aiueoFullWidth", [](int n, std::string_view) {
             return alphabet(n, "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン");
         }},
        {"iroha", [](int n, std::string_view) {
             return alphabet(n, "ｲﾛﾊﾆﾎﾍﾄﾁﾘﾇﾙｦﾜｶﾖﾀﾚｿﾂﾈﾅﾗﾑｳヰﾉｵｸﾔﾏｹﾌｺｴﾃｱｻｷﾕﾒﾐｼヱﾋﾓｾｽ");
         }},
        {"irohaFullWidth", [](int n, std::string_view) {
             return alphabet(n, "イロハニホヘトチリヌルヲワカヨタレソツネナラムウヰノオクヤマケフコエテアサキユメミシヱヒモセス");
         }},
        {"ganada", [](int n, std::string_view) { return alphabet(n, "가나다라마바사아자차카타파하"); }},
        {"chosung", [](int n, std::string_view) { return alphabet(n, "ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊㅋㅌㅍㅎ"); }},
        {"hebrew1", [](int n, std::string_view) { return hebrewNumerals(n); }},
        {"hebrew2", [](int n, std::string_view) { return alphabet(n, "אבגדהוזחטיכלמנסעפצקרשת"); }},
        {"arabicAlpha", [](int n, std::string_view) { return alphabet(n, "أبتثجحخدذرزسشصضطظعغفقكلمنهوي"); }},
        {"arabicAbjad", [](int n, std::string_view) { return alphabet(n, "أبجدهوزحطيكلمنسعفصقرشتثخذضظغ"); }},
        {"hindiVowels", [](int n, std::string_view) { return alphabet(n, "अआइईउऊऋएऐओऔ"); }},
        {"hindiConsonants", [](int n, std::string_view) {
             return alphabet(n, "कखगघङचछजझञटठडढणतथदधनपफबभमयरलवशषसह");
         }},
        {"thaiLetters", [](int n, std::string_view) {
             return alphabet(n, "กขคฆงจฉชซฌญฎฏฐฑฒณดตถทธนบปผฝพฟภมยรลวศษสหฬอฮ");
         }},
        {"thaiCounting", [](int n, std::string_view) { return thaiCounting(n); }},
        {"vietnameseCounting", [](int n, std::string_view) { return vietnameseCounting(n); }},
        {"russianLower", [](int n, std::string_view) { return alphabet(n, "абвгдежзиклмнопрстуфхцчшщэюя"); }},
        {"russianUpper", [](int n, std::string_view) { return alphabet(n, "АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЩЭЮЯ"); }},
    };
    return table;
}

}  // namespace

std::string formatNumber(int n, std::string_view format, std::string_view language) {
    if (format == "none" || format == "bullet") return {};
    if (n < 0) return std::to_string(n);
    const auto& table = writers();
    const auto w = table.find(format);
    return w == table.end() ? std::to_string(n) : w->second(n, language);
}

}  // namespace tavin
