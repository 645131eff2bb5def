// The memory of the Full Fidelity walks: a page repeats few distinct
// properties, style values and tags many times, so a walk works out each
// distinct one once. What is kept is bounded (by the bytes of its keys), so
// that a page of distinct ones costs no more than one without memory: past
// the bound, each is worked out again.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tavin {

// Key is std::string, or std::string_view of a text that outlives the memo.
template <class Key, class Value>
class BoundedMemo {
public:
    // The value for key, made by make() the first time it is asked for.
    template <class Make>
    const Value& get(std::string_view key, Make&& make) {
        if (const auto it = map_.find(key); it != map_.end()) return it->second;
        if (bytes_ + key.size() > kMaxBytes) {
            scratch_ = make();
            return scratch_;
        }
        bytes_ += key.size();
        return map_.emplace(Key(key), make()).first->second;
    }

private:
    static constexpr std::size_t kMaxBytes = std::size_t{4} << 20;
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<Key, Value, Hash, std::equal_to<>> map_;
    std::size_t bytes_ = 0;
    Value scratch_{};
};

}  // namespace tavin
