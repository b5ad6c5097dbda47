#include "com/core/registry_script.h"

#include <cwctype>

namespace kadrix::com {
namespace {

std::string Narrow(std::wstring_view text)
{
    std::string result;
    for (wchar_t c : text)
        result.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return result;
}

struct Token
{
    enum class Kind
    {
        Word,   // bare word or quoted string, replacements applied
        Open,   // {
        Close,  // }
        Equals, // =
        End,
    };
    Kind kind = Kind::End;
    std::wstring text;
    bool quoted = false;
};

class Lexer
{
public:
    Lexer(std::wstring_view text, const ScriptReplacements& replacements)
        : text_(text), replacements_(replacements)
    {
    }

    Token Next()
    {
        SkipSpace();
        Token token;
        if (pos_ >= text_.size())
            return token;
        const wchar_t c = text_[pos_];
        // A brace opens a block, unless it starts a bare word such as a
        // {CLSID}: that one runs to its closing brace.
        if (c == L'{' && !LooksLikeGuid()) {
            ++pos_;
            token.kind = Token::Kind::Open;
            return token;
        }
        if (c == L'}') {
            ++pos_;
            token.kind = Token::Kind::Close;
            return token;
        }
        if (c == L'=') {
            ++pos_;
            token.kind = Token::Kind::Equals;
            return token;
        }
        token.kind = Token::Kind::Word;
        if (c == L'\'') {
            token.quoted = true;
            token.text = Quoted();
        } else {
            const std::size_t start = pos_;
            if (c == L'{') {
                pos_ = text_.find(L'}', pos_) + 1; // a {GUID}, braces included
            } else {
                while (pos_ < text_.size() && !std::iswspace(text_[pos_]) && text_[pos_] != L'=' &&
                       text_[pos_] != L'{' && text_[pos_] != L'}')
                    ++pos_;
            }
            token.text = Replace(text_.substr(start, pos_ - start));
        }
        return token;
    }

private:
    void SkipSpace()
    {
        while (pos_ < text_.size() && std::iswspace(text_[pos_]))
            ++pos_;
    }

    // "{" followed by a closing "}" before any white space: a {GUID} word.
    bool LooksLikeGuid() const
    {
        for (std::size_t i = pos_ + 1; i < text_.size(); ++i) {
            if (text_[i] == L'}')
                return i > pos_ + 1;
            if (std::iswspace(text_[i]) || text_[i] == L'{' || text_[i] == L'=')
                return false;
        }
        return false;
    }

    std::wstring Quoted()
    {
        ++pos_; // opening quote
        std::wstring raw;
        for (;;) {
            if (pos_ >= text_.size())
                throw RegistryScriptError("unterminated string");
            const wchar_t c = text_[pos_++];
            if (c == L'\'') {
                if (pos_ < text_.size() && text_[pos_] == L'\'') { // '' is a quote
                    raw.push_back(L'\'');
                    ++pos_;
                    continue;
                }
                break;
            }
            raw.push_back(c);
        }
        return Replace(raw);
    }

    std::wstring Replace(std::wstring_view raw) const
    {
        std::wstring out;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != L'%') {
                out.push_back(raw[i]);
                continue;
            }
            const std::size_t end = raw.find(L'%', i + 1);
            if (end == std::wstring_view::npos)
                throw RegistryScriptError("unterminated replacement");
            const std::wstring_view name = raw.substr(i + 1, end - i - 1);
            if (name.empty()) {
                out.push_back(L'%');
            } else {
                const auto found = replacements_.find(name);
                if (found == replacements_.end())
                    throw RegistryScriptError("unknown replacement %" + Narrow(name) + "%");
                out += found->second;
            }
            i = end;
        }
        return out;
    }

    std::wstring_view text_;
    const ScriptReplacements& replacements_;
    std::size_t pos_ = 0;
};

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

// Deeper than any registration needs (the class scripts go four deep): the
// parser recurses once per level, and a script nested thousands deep would
// take the stack with it.
constexpr int kMaxNesting = 32;

class Parser
{
public:
    Parser(std::wstring_view text, const ScriptReplacements& replacements)
        : lexer_(text, replacements)
    {
        Advance();
    }

    RegistryScript Script()
    {
        RegistryScript script;
        while (token_.kind != Token::Kind::End) {
            RegistryRoot root;
            root.name = ExpectWord("root key");
            Expect(Token::Kind::Open, "'{' after the root key");
            while (token_.kind != Token::Kind::Close)
                root.keys.push_back(Key(1));
            Advance();
            script.roots.push_back(std::move(root));
        }
        return script;
    }

private:
    void Advance() { token_ = lexer_.Next(); }

    void Expect(Token::Kind kind, const char* what)
    {
        if (token_.kind != kind)
            throw RegistryScriptError(std::string("expected ") + what);
        Advance();
    }

    std::wstring ExpectWord(const char* what)
    {
        if (token_.kind != Token::Kind::Word)
            throw RegistryScriptError(std::string("expected ") + what);
        std::wstring text = std::move(token_.text);
        Advance();
        return text;
    }

    bool IsKeyword(std::wstring_view word) const
    {
        return token_.kind == Token::Kind::Word && !token_.quoted &&
               EqualsNoCase(token_.text, word);
    }

    ScriptValue Value()
    {
        ScriptValue value;
        if (IsKeyword(L"s")) {
            Advance();
            value.type = ScriptValue::Type::String;
            value.text = ExpectWord("a string value");
        } else if (IsKeyword(L"d")) {
            Advance();
            value.type = ScriptValue::Type::Dword;
            const std::wstring number = ExpectWord("a number");
            try {
                std::size_t used = 0;
                const unsigned long long parsed = std::stoull(number, &used, 0);
                if (used != number.size() || parsed > 0xFFFFFFFFull)
                    throw RegistryScriptError("bad number");
                value.dword = static_cast<std::uint32_t>(parsed);
            } catch (const std::logic_error&) {
                throw RegistryScriptError("bad number");
            }
        } else {
            throw RegistryScriptError("expected a value type (s or d)");
        }
        return value;
    }

    RegistryKey Key(int depth)
    {
        if (token_.kind == Token::Kind::End)
            throw RegistryScriptError("unexpected end of script");
        if (depth > kMaxNesting)
            throw RegistryScriptError("keys nested too deep");
        RegistryKey key;
        if (IsKeyword(L"NoRemove")) {
            key.removal = RegistryKey::Removal::NoRemove;
            Advance();
        } else if (IsKeyword(L"ForceRemove")) {
            key.removal = RegistryKey::Removal::ForceRemove;
            Advance();
        }
        key.name = ExpectWord("a key name");
        if (token_.kind == Token::Kind::Equals) {
            Advance();
            key.defaultValue = Value();
        }
        if (token_.kind == Token::Kind::Open) {
            Advance();
            while (token_.kind != Token::Kind::Close) {
                if (token_.kind == Token::Kind::End)
                    throw RegistryScriptError("unexpected end of script");
                if (IsKeyword(L"val")) {
                    Advance();
                    std::wstring name = ExpectWord("a value name");
                    Expect(Token::Kind::Equals, "'=' after the value name");
                    key.values.emplace_back(std::move(name), Value());
                } else {
                    key.subkeys.push_back(Key(depth + 1));
                }
            }
            Advance();
        }
        return key;
    }

    Lexer lexer_;
    Token token_;
};

} // namespace

RegistryScript ParseRegistryScript(std::wstring_view text, const ScriptReplacements& replacements)
{
    return Parser(text, replacements).Script();
}

} // namespace kadrix::com
