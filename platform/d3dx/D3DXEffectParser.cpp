// Effect-file compiler front end: a lexer with the preprocessor folded in, producing one
// token list, and a recursive-descent parser over it. Errors are raised as exceptions
// inside this file and become the compiler's message text at the boundary.
#include "platform/d3dx/D3DXEffectSource.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>

namespace {

// Limits that turn hostile text into a compile error instead of a crash or a hang: how deep
// brackets and unary operators nest in an expression or an initialiser (each level is a call
// of the recursive parser), how deep macros expand inside one another, and how many tokens
// macro expansion may produce in all. No effect of the game's data comes near any of them.
constexpr int MaxNesting = 256;
constexpr int MaxMacroNesting = 64;
constexpr size_t MaxExpandedTokens = size_t{1} << 18;
// Numbers held by all parameters together (each a double here, a 32-bit word in the effect):
// 32 MB. The largest single parameter, 65536 elements of float4x4, takes half of it.
constexpr size_t MaxParameterValues = size_t{1} << 21;

struct CompileError {
    std::string file;
    int line;
    int column;
    std::string code;
    std::string message;
};

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Lexer and preprocessor

struct Macro {
    std::vector<D3DXEffectToken> body;
};

struct Conditional {
    bool active;     // this branch is being read
    bool taken;      // some branch of this #if was taken
    bool parentActive;
};

struct PreprocessorState {
    std::map<std::string, Macro> macros;
    ID3DXInclude* include = nullptr;
    std::vector<D3DXEffectToken> output;
    int depth = 0;
    size_t expandedTokens = 0;  // produced by macro expansion, in the text and in #if lines
};

// Counts one level of nesting for as long as it lives.
class NestingGuard {
public:
    // tooDeep is called (and must throw) when the level would pass the limit.
    template <class TooDeep>
    NestingGuard(int& depth, int limit, TooDeep&& tooDeep) : depth(depth) {
        if (++depth > limit) {
            --depth;
            tooDeep();
        }
    }
    ~NestingGuard() { --depth; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    int& depth;
};

class Lexer {
public:
    Lexer(std::string_view text, std::string file, PreprocessorState& state) : text(text), file(std::move(file)), state(state) {}

    void Run() {
        std::vector<Conditional> conditions;
        bool lineStart = true;
        while (pos < text.size()) {
            const char c = text[pos];
            if (c == '\n') {
                Advance();
                lineStart = true;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                Advance();
                continue;
            }
            if (c == '/' && Peek(1) == '/') {
                while (pos < text.size() && text[pos] != '\n') {
                    Advance();
                }
                continue;
            }
            if (c == '/' && Peek(1) == '*') {
                SkipBlockComment();
                continue;
            }
            if (c == '#' && lineStart) {
                Directive(conditions);
                lineStart = true;
                continue;
            }
            lineStart = false;
            D3DXEffectToken token = Lex();
            if (conditions.empty() || conditions.back().active) {
                Emit(token);
            }
        }
        if (!conditions.empty()) {
            Fail(line, column, "X1004", "unexpected end of file in #if");
        }
    }

    // Lexes a stand-alone piece of text (a directive's rest, a macro definition) without
    // directives or macro expansion.
    static std::vector<D3DXEffectToken> LexPlain(std::string_view text, const std::string& file, int line, int column) {
        PreprocessorState scratch;
        Lexer lexer(text, file, scratch);
        lexer.line = line;
        lexer.column = column;
        std::vector<D3DXEffectToken> tokens;
        while (true) {
            lexer.SkipSpaceAndComments();
            if (lexer.pos >= lexer.text.size()) {
                break;
            }
            tokens.push_back(lexer.Lex());
        }
        return tokens;
    }

    [[noreturn]] void Fail(int atLine, int atColumn, const char* code, const std::string& message) const {
        throw CompileError{file, atLine, atColumn, code, message};
    }

private:
    char Peek(size_t ahead) const { return pos + ahead < text.size() ? text[pos + ahead] : '\0'; }

    void Advance() {
        if (text[pos] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
        ++pos;
    }

    void SkipBlockComment() {
        const int startLine = line;
        const int startColumn = column;
        Advance();
        Advance();
        while (pos < text.size() && !(text[pos] == '*' && Peek(1) == '/')) {
            Advance();
        }
        if (pos >= text.size()) {
            Fail(startLine, startColumn, "X1005", "unterminated comment");
        }
        Advance();
        Advance();
    }

    void SkipSpaceAndComments() {
        while (pos < text.size()) {
            const char c = text[pos];
            if (std::isspace(static_cast<unsigned char>(c))) {
                Advance();
            } else if (c == '/' && Peek(1) == '/') {
                while (pos < text.size() && text[pos] != '\n') {
                    Advance();
                }
            } else if (c == '/' && Peek(1) == '*') {
                SkipBlockComment();
            } else {
                break;
            }
        }
    }

    D3DXEffectToken Lex() {
        D3DXEffectToken token;
        token.line = line;
        token.column = column;
        const char c = text[pos];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            token.kind = D3DXEffectToken::Identifier;
            while (pos < text.size() && (std::isalnum(static_cast<unsigned char>(text[pos])) || text[pos] == '_')) {
                token.text += text[pos];
                Advance();
            }
            return token;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && std::isdigit(static_cast<unsigned char>(Peek(1))))) {
            token.kind = D3DXEffectToken::Number;
            if (c == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
                token.text = "0x";
                Advance();
                Advance();
                while (pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos]))) {
                    token.text += text[pos];
                    Advance();
                }
                token.number = static_cast<double>(std::strtoull(token.text.c_str() + 2, nullptr, 16));
            } else {
                while (pos < text.size() &&
                       (std::isdigit(static_cast<unsigned char>(text[pos])) || text[pos] == '.' ||
                        ((text[pos] == 'e' || text[pos] == 'E') &&
                         (std::isdigit(static_cast<unsigned char>(Peek(1))) ||
                          ((Peek(1) == '-' || Peek(1) == '+') && std::isdigit(static_cast<unsigned char>(Peek(2)))))))) {
                    if (text[pos] == 'e' || text[pos] == 'E') {
                        token.text += text[pos];
                        Advance();
                    }
                    token.text += text[pos];
                    Advance();
                }
                // Decimal digits only, in the C locale: parse by hand to stay locale-proof.
                token.number = ParseDecimal(token.text);
            }
            while (pos < text.size() && std::strchr("fFhHlLuU", text[pos]) != nullptr && text[pos] != '\0') {
                Advance();
            }
            return token;
        }
        if (c == '"') {
            token.kind = D3DXEffectToken::String;
            Advance();
            while (true) {
                if (pos >= text.size() || text[pos] == '\n') {
                    Fail(token.line, token.column, "X1010", "unterminated string");
                }
                char ch = text[pos];
                if (ch == '"') {
                    Advance();
                    break;
                }
                if (ch == '\\' && pos + 1 < text.size()) {
                    Advance();
                    ch = text[pos];
                    switch (ch) {
                        case 'n': ch = '\n'; break;
                        case 't': ch = '\t'; break;
                        case 'r': ch = '\r'; break;
                        case '0': ch = '\0'; break;
                        default: break;
                    }
                }
                token.text += ch;
                Advance();
            }
            return token;
        }
        static const char* const pairs[] = {"==", "!=", "<=", ">=", "&&", "||", "++", "--", "+=", "-=", "*=", "/=", "::"};
        for (const char* pair : pairs) {
            if (c == pair[0] && Peek(1) == pair[1]) {
                token.kind = D3DXEffectToken::Punct;
                token.text = pair;
                Advance();
                Advance();
                return token;
            }
        }
        if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E) {
            Fail(line, column, "X3000", "syntax error: unexpected character");
        }
        token.kind = D3DXEffectToken::Punct;
        token.text = std::string(1, c);
        Advance();
        return token;
    }

    // A decimal literal ("12", "1.5", ".5e-3") in the C locale, correctly rounded. Past the
    // range of a double it is infinity, below it zero; never NaN ("0e400" is 0).
    static double ParseDecimal(const std::string& digits) {
        double value = 0.0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        (void)end;
        if (error == std::errc::result_out_of_range) {
            value = DecimalMagnitude(digits) > 0 ? HUGE_VAL : 0.0;
        }
        return value;
    }

    // Where the first non-zero digit stands relative to the decimal point, exponent included:
    // 1 for "5", 0 for "0.5", 401 for "1e400". Zero digits give INT_MIN.
    static long long DecimalMagnitude(const std::string& digits) {
        long long position = 0;  // of the decimal point, counted in digits
        long long first = -1;    // index of the first non-zero digit
        long long index = 0;
        size_t i = 0;
        bool point = false;
        for (; i < digits.size() && (std::isdigit(static_cast<unsigned char>(digits[i])) || digits[i] == '.'); ++i) {
            if (digits[i] == '.') {
                if (point) {
                    break;
                }
                point = true;
                position = index;
                continue;
            }
            if (first < 0 && digits[i] != '0') {
                first = index;
            }
            ++index;
        }
        if (!point) {
            position = index;
        }
        if (first < 0) {
            return INT_MIN;
        }
        long long exponent = 0;
        if (i < digits.size() && (digits[i] == 'e' || digits[i] == 'E')) {
            ++i;
            const bool negative = i < digits.size() && digits[i] == '-';
            if (i < digits.size() && (digits[i] == '-' || digits[i] == '+')) {
                ++i;
            }
            for (; i < digits.size() && std::isdigit(static_cast<unsigned char>(digits[i])); ++i) {
                exponent = std::min(exponent * 10 + (digits[i] - '0'), 1000000000LL);
            }
            exponent = negative ? -exponent : exponent;
        }
        return position - first + exponent;
    }

    // A macro is not expanded again inside its own expansion, as in C.
    void Emit(const D3DXEffectToken& token) {
        if (token.kind == D3DXEffectToken::Identifier && expanding.count(token.text) == 0) {
            const auto found = state.macros.find(token.text);
            if (found != state.macros.end()) {
                const NestingGuard nesting(macroDepth, MaxMacroNesting, [&] { MacroTooDeep(token); });
                expanding.insert(token.text);
                for (D3DXEffectToken replacement : found->second.body) {
                    replacement.line = token.line;
                    replacement.column = token.column;
                    CountExpanded(token);
                    Emit(replacement);
                }
                expanding.erase(token.text);
                return;
            }
        }
        state.output.push_back(token);
    }

    [[noreturn]] void MacroTooDeep(const D3DXEffectToken& at) const {
        Fail(at.line, at.column, "X1507", "macro expansion nested too deeply");
    }

    void CountExpanded(const D3DXEffectToken& at) {
        if (++state.expandedTokens > MaxExpandedTokens) {
            Fail(at.line, at.column, "X1507", "macro expansion produces too much text");
        }
    }

    // Reads a directive line (with "\" continuations) and acts on it.
    void Directive(std::vector<Conditional>& conditions) {
        const int startLine = line;
        const int startColumn = column;
        Advance();  // '#'
        std::string rest;
        while (pos < text.size() && text[pos] != '\n') {
            if (text[pos] == '\\' && (Peek(1) == '\n' || (Peek(1) == '\r' && Peek(2) == '\n'))) {
                while (text[pos] != '\n') {
                    Advance();
                }
                Advance();
                rest += ' ';
                continue;
            }
            if (text[pos] == '/' && Peek(1) == '*') {
                SkipBlockComment();
                rest += ' ';
                continue;
            }
            rest += text[pos];
            Advance();
        }
        const std::vector<D3DXEffectToken> tokens = LexPlain(rest, file, startLine, startColumn + 1);
        if (tokens.empty()) {
            return;  // the null directive
        }
        const std::string& name = tokens[0].text;
        const bool active = conditions.empty() || conditions.back().active;
        if (name == "if" || name == "ifdef" || name == "ifndef") {
            bool value = false;
            if (active) {
                if (name == "if") {
                    value = Evaluate(tokens, 1, startLine, startColumn) != 0;
                } else {
                    if (tokens.size() < 2 || tokens[1].kind != D3DXEffectToken::Identifier) {
                        Fail(startLine, startColumn, "X1507", "#" + name + " needs a macro name");
                    }
                    value = (state.macros.count(tokens[1].text) != 0) == (name == "ifdef");
                }
            }
            conditions.push_back({active && value, active && value, active});
            return;
        }
        if (name == "elif" || name == "else" || name == "endif") {
            if (conditions.empty()) {
                Fail(startLine, startColumn, "X1004", "#" + name + " without #if");
            }
            Conditional& top = conditions.back();
            if (name == "endif") {
                conditions.pop_back();
            } else if (name == "else") {
                top.active = top.parentActive && !top.taken;
                top.taken = top.taken || top.active;
            } else {
                const bool value = top.parentActive && !top.taken && Evaluate(tokens, 1, startLine, startColumn) != 0;
                top.active = value;
                top.taken = top.taken || value;
            }
            return;
        }
        if (!active) {
            return;
        }
        if (name == "define") {
            if (tokens.size() < 2 || tokens[1].kind != D3DXEffectToken::Identifier) {
                Fail(startLine, startColumn, "X1507", "#define needs a macro name");
            }
            // A "(" right after the name makes a function-like macro, which is not expanded.
            const bool functionLike = tokens.size() > 2 && tokens[2].text == "(" && tokens[2].line == tokens[1].line &&
                                      tokens[2].column == tokens[1].column + static_cast<int>(tokens[1].text.size());
            if (!functionLike) {
                state.macros[tokens[1].text] = Macro{std::vector<D3DXEffectToken>(tokens.begin() + 2, tokens.end())};
            }
        } else if (name == "undef") {
            if (tokens.size() >= 2) {
                state.macros.erase(tokens[1].text);
            }
        } else if (name == "include") {
            Include(tokens, startLine, startColumn);
        } else if (name == "error") {
            std::string message;
            for (size_t i = 1; i < tokens.size(); ++i) {
                message += (i > 1 ? " " : "") + tokens[i].text;
            }
            Fail(startLine, startColumn, "X1503", "#error " + message);
        } else if (name == "pragma" || name == "line" || name == "warning") {
            // Nothing to do for a compiler that makes no code.
        } else {
            Fail(startLine, startColumn, "X1501", "unknown preprocessor directive '#" + name + "'");
        }
    }

    void Include(const std::vector<D3DXEffectToken>& tokens, int atLine, int atColumn) {
        std::string name;
        D3DXINCLUDE_TYPE type = D3DXINC_LOCAL;
        if (tokens.size() >= 2 && tokens[1].kind == D3DXEffectToken::String) {
            name = tokens[1].text;
        } else if (tokens.size() >= 2 && tokens[1].text == "<") {
            type = D3DXINC_SYSTEM;
            for (size_t i = 2; i < tokens.size() && tokens[i].text != ">"; ++i) {
                name += tokens[i].text;
            }
        }
        if (name.empty()) {
            Fail(atLine, atColumn, "X1507", "#include needs a file name");
        }
        if (state.include == nullptr) {
            Fail(atLine, atColumn, "X1507", "failed to open source file: '" + name + "' (no include handler)");
        }
        if (state.depth >= 16) {
            Fail(atLine, atColumn, "X1507", "#include nested too deeply");
        }
        const void* data = nullptr;
        UINT bytes = 0;
        if (FAILED(state.include->Open(type, name.c_str(), text.data(), &data, &bytes)) || data == nullptr) {
            Fail(atLine, atColumn, "X1507", "failed to open source file: '" + name + "'");
        }
        ++state.depth;
        struct Closer {
            ID3DXInclude* include;
            const void* data;
            int& depth;
            ~Closer() {
                include->Close(data);
                --depth;
            }
        } closer{state.include, data, state.depth};
        Lexer nested(std::string_view(static_cast<const char*>(data), bytes), name, state);
        nested.Run();
    }

    // #if expressions: integers, defined(X), macros, ! - + * / % + - < > <= >= == != && || ( ).
    long long Evaluate(const std::vector<D3DXEffectToken>& tokens, size_t from, int atLine, int atColumn) {
        std::vector<D3DXEffectToken> expanded;
        for (size_t i = from; i < tokens.size(); ++i) {
            if (tokens[i].text == "defined") {
                size_t j = i + 1;
                const bool paren = j < tokens.size() && tokens[j].text == "(";
                if (paren) {
                    ++j;
                }
                if (j >= tokens.size() || tokens[j].kind != D3DXEffectToken::Identifier) {
                    Fail(atLine, atColumn, "X1507", "defined needs a macro name");
                }
                D3DXEffectToken value;
                value.kind = D3DXEffectToken::Number;
                value.number = state.macros.count(tokens[j].text) ? 1 : 0;
                expanded.push_back(value);
                i = paren ? j + 1 : j;
                continue;
            }
            ExpandInto(tokens[i], expanded);
        }
        size_t at = 0;
        const long long value = Or(expanded, at, atLine, atColumn);
        if (at != expanded.size()) {
            Fail(atLine, atColumn, "X1507", "invalid #if expression");
        }
        return value;
    }

    // Expansion in #if lines follows the same rules as in the text.
    void ExpandInto(const D3DXEffectToken& token, std::vector<D3DXEffectToken>& out) {
        const auto found = token.kind == D3DXEffectToken::Identifier && expanding.count(token.text) == 0
                               ? state.macros.find(token.text)
                               : state.macros.end();
        if (found != state.macros.end()) {
            const NestingGuard nesting(macroDepth, MaxMacroNesting, [&] { MacroTooDeep(token); });
            expanding.insert(token.text);
            for (const D3DXEffectToken& t : found->second.body) {
                CountExpanded(token);
                ExpandInto(t, out);
            }
            expanding.erase(token.text);
            return;
        }
        out.push_back(token);
    }

    // #if arithmetic wraps around in 64 bits instead of overflowing.
    static long long Wrapped(long long a, long long b, char op) {
        const auto x = static_cast<unsigned long long>(a);
        const auto y = static_cast<unsigned long long>(b);
        return static_cast<long long>(op == '+' ? x + y : op == '-' ? x - y : x * y);
    }

    long long Primary(const std::vector<D3DXEffectToken>& t, size_t& at, int l, int c) {
        const NestingGuard nesting(expressionDepth, MaxNesting,
                                   [&] { Fail(l, c, "X1507", "#if expression nested too deeply"); });
        if (at >= t.size()) {
            Fail(l, c, "X1507", "invalid #if expression");
        }
        const D3DXEffectToken& token = t[at++];
        if (token.kind == D3DXEffectToken::Number) {
            return D3DXEffectInteger(token.number);
        }
        if (token.kind == D3DXEffectToken::Identifier) {
            return 0;  // an undefined name
        }
        if (token.text == "(") {
            const long long value = Or(t, at, l, c);
            if (at >= t.size() || t[at].text != ")") {
                Fail(l, c, "X1507", "missing ')' in #if expression");
            }
            ++at;
            return value;
        }
        if (token.text == "!") return !Primary(t, at, l, c);
        if (token.text == "-") return Wrapped(0, Primary(t, at, l, c), '-');
        if (token.text == "+") return Primary(t, at, l, c);
        Fail(l, c, "X1507", "invalid #if expression");
    }

    long long Product(const std::vector<D3DXEffectToken>& t, size_t& at, int l, int c) {
        long long value = Primary(t, at, l, c);
        while (at < t.size() && (t[at].text == "*" || t[at].text == "/" || t[at].text == "%")) {
            const std::string op = t[at++].text;
            const long long rhs = Primary(t, at, l, c);
            if (op != "*" && rhs == 0) {
                Fail(l, c, "X1507", "division by zero in #if expression");
            }
            if (op == "*") {
                value = Wrapped(value, rhs, '*');
            } else if (rhs == -1) {
                value = op == "/" ? Wrapped(0, value, '-') : 0;  // the one quotient past the range
            } else {
                value = op == "/" ? value / rhs : value % rhs;
            }
        }
        return value;
    }

    long long Sum(const std::vector<D3DXEffectToken>& t, size_t& at, int l, int c) {
        long long value = Product(t, at, l, c);
        while (at < t.size() && (t[at].text == "+" || t[at].text == "-")) {
            const bool add = t[at++].text == "+";
            const long long rhs = Product(t, at, l, c);
            value = Wrapped(value, rhs, add ? '+' : '-');
        }
        return value;
    }

    long long Compare(const std::vector<D3DXEffectToken>& t, size_t& at, int l, int c) {
        long long value = Sum(t, at, l, c);
        while (at < t.size()) {
            const std::string& op = t[at].text;
            if (op != "<" && op != ">" && op != "<=" && op != ">=" && op != "==" && op != "!=") {
                break;
            }
            ++at;
            const long long rhs = Sum(t, at, l, c);
            value = op == "<"    ? value < rhs
                    : op == ">"  ? value > rhs
                    : op == "<=" ? value <= rhs
                    : op == ">=" ? value >= rhs
                    : op == "==" ? value == rhs
                                 : value != rhs;
        }
        return value;
    }

    long long And(const std::vector<D3DXEffectToken>& t, size_t& at, int l, int c) {
        long long value = Compare(t, at, l, c);
        while (at < t.size() && t[at].text == "&&") {
            ++at;
            const long long rhs = Compare(t, at, l, c);
            value = value && rhs;
        }
        return value;
    }

    long long Or(const std::vector<D3DXEffectToken>& t, size_t& at, int l, int c) {
        long long value = And(t, at, l, c);
        while (at < t.size() && t[at].text == "||") {
            ++at;
            const long long rhs = And(t, at, l, c);
            value = value || rhs;
        }
        return value;
    }

    std::string_view text;
    std::string file;
    PreprocessorState& state;
    std::set<std::string> expanding;
    int macroDepth = 0;
    int expressionDepth = 0;
    size_t pos = 0;
    int line = 1;
    int column = 1;
};

// ---------------------------------------------------------------------------------------
// Parser

using TypeInfo = D3DXParameterShape;

class Parser {
public:
    Parser(std::vector<D3DXEffectToken> tokens, D3DXEffectSource& out) : tokens(std::move(tokens)), out(out) {
        D3DXEffectToken end;
        end.kind = D3DXEffectToken::End;
        end.line = this->tokens.empty() ? 1 : this->tokens.back().line;
        end.column = this->tokens.empty() ? 1 : this->tokens.back().column + 1;
        this->tokens.push_back(end);
    }

    void Run() {
        while (Peek().kind != D3DXEffectToken::End) {
            if (IsPunct(";")) {
                Next();
            } else if (IsWord("technique")) {
                Technique();
            } else if (IsWord("struct")) {
                Struct();
            } else if (IsWord("typedef")) {
                Typedef();
            } else {
                Declaration();
            }
        }
    }

private:
    const D3DXEffectToken& Peek(size_t ahead = 0) const { return tokens[std::min(at + ahead, tokens.size() - 1)]; }
    const D3DXEffectToken& Next() {
        const D3DXEffectToken& token = tokens[at];
        if (at + 1 < tokens.size()) {
            ++at;
        }
        return token;
    }
    bool IsPunct(const char* text, size_t ahead = 0) const {
        return Peek(ahead).kind == D3DXEffectToken::Punct && Peek(ahead).text == text;
    }
    bool IsWord(const char* text) const { return Peek().kind == D3DXEffectToken::Identifier && Peek().text == text; }

    [[noreturn]] void Unexpected(const D3DXEffectToken& token) const {
        if (token.kind == D3DXEffectToken::End) {
            throw CompileError{"memory", token.line, token.column, "X3000", "syntax error: unexpected end of file"};
        }
        const std::string shown = token.kind == D3DXEffectToken::String ? "\"" + token.text + "\"" : token.text;
        throw CompileError{"memory", token.line, token.column, "X3000", "syntax error: unexpected token '" + shown + "'"};
    }
    [[noreturn]] void Error(const D3DXEffectToken& token, const char* code, const std::string& message) const {
        throw CompileError{"memory", token.line, token.column, code, message};
    }
    [[noreturn]] void TooDeep() const { Error(Peek(), "X3000", "expression nested too deeply"); }

    void Expect(const char* text) {
        if (!IsPunct(text)) {
            Unexpected(Peek());
        }
        Next();
    }

    std::string Identifier() {
        if (Peek().kind != D3DXEffectToken::Identifier) {
            Unexpected(Peek());
        }
        return Next().text;
    }

    // Skips a bracketed group starting at the current opening token, nesting all bracket kinds.
    void SkipBalanced() {
        const D3DXEffectToken& open = Peek();
        int depth = 0;
        do {
            const D3DXEffectToken& token = Next();
            if (token.kind == D3DXEffectToken::End) {
                Error(open, "X3000", "syntax error: unexpected end of file, missing closing bracket");
            }
            if (token.kind == D3DXEffectToken::Punct) {
                if (token.text == "{" || token.text == "(" || token.text == "[") {
                    ++depth;
                } else if (token.text == "}" || token.text == ")" || token.text == "]") {
                    --depth;
                }
            }
        } while (depth > 0);
    }

    // Tokens up to the ';' that ends a statement at bracket depth 0 (the ';' is consumed).
    std::vector<D3DXEffectToken> TokensToSemicolon() {
        std::vector<D3DXEffectToken> value;
        int depth = 0;
        while (!(depth == 0 && IsPunct(";"))) {
            const D3DXEffectToken& token = Peek();
            if (token.kind == D3DXEffectToken::End) {
                Unexpected(token);
            }
            if (token.kind == D3DXEffectToken::Punct) {
                if (token.text == "{" || token.text == "(" || token.text == "[") {
                    ++depth;
                } else if (token.text == "}" || token.text == ")" || token.text == "]") {
                    if (--depth < 0) {
                        Unexpected(token);
                    }
                }
            }
            value.push_back(Next());
        }
        Next();
        return value;
    }

    // --- types ---

    static bool NumericBase(const std::string& word, D3DXPARAMETER_TYPE& type, std::string& rest) {
        static const std::pair<const char*, D3DXPARAMETER_TYPE> bases[] = {
            {"bool", D3DXPT_BOOL}, {"int", D3DXPT_INT},     {"uint", D3DXPT_INT},
            {"dword", D3DXPT_INT}, {"half", D3DXPT_FLOAT},  {"float", D3DXPT_FLOAT},
            {"double", D3DXPT_FLOAT}};
        for (const auto& [base, baseType] : bases) {
            const size_t n = std::strlen(base);
            if (word.compare(0, n, base) == 0) {
                rest = word.substr(n);
                type = baseType;
                return true;
            }
        }
        return false;
    }

    // A numeric type name ("float", "float3", "float4x4"), or false.
    static bool NumericType(const std::string& word, TypeInfo& info) {
        D3DXPARAMETER_TYPE type;
        std::string rest;
        if (!NumericBase(word, type, rest)) {
            return false;
        }
        const auto digit = [](char c) { return c >= '1' && c <= '4'; };
        info.type = type;
        if (rest.empty()) {
            info = TypeInfo{D3DXPC_SCALAR, type, 1, 1};
        } else if (rest.size() == 1 && digit(rest[0])) {
            info = TypeInfo{D3DXPC_VECTOR, type, 1, static_cast<UINT>(rest[0] - '0')};
        } else if (rest.size() == 3 && digit(rest[0]) && rest[1] == 'x' && digit(rest[2])) {
            info = TypeInfo{D3DXPC_MATRIX_ROWS, type, static_cast<UINT>(rest[0] - '0'), static_cast<UINT>(rest[2] - '0')};
        } else {
            return false;
        }
        return true;
    }

    static bool ObjectType(const std::string& word, TypeInfo& info) {
        static const std::pair<const char*, D3DXPARAMETER_TYPE> objects[] = {
            {"string", D3DXPT_STRING},           {"texture", D3DXPT_TEXTURE},       {"texture1d", D3DXPT_TEXTURE1D},
            {"texture2d", D3DXPT_TEXTURE2D},     {"texture3d", D3DXPT_TEXTURE3D},   {"texturecube", D3DXPT_TEXTURECUBE},
            {"sampler", D3DXPT_SAMPLER},         {"sampler1d", D3DXPT_SAMPLER1D},   {"sampler2d", D3DXPT_SAMPLER2D},
            {"sampler3d", D3DXPT_SAMPLER3D},     {"samplercube", D3DXPT_SAMPLERCUBE}, {"pixelshader", D3DXPT_PIXELSHADER},
            {"vertexshader", D3DXPT_VERTEXSHADER}};
        for (const auto& [name, type] : objects) {
            if (EqualsNoCase(word, name)) {
                info = TypeInfo{D3DXPC_OBJECT, type, 0, 0};
                return true;
            }
        }
        return false;
    }

    UINT SmallInteger() {
        const D3DXEffectToken& token = Peek();
        if (token.kind != D3DXEffectToken::Number || !(token.number >= 1 && token.number <= 4)) {
            Unexpected(token);
        }
        return static_cast<UINT>(Next().number);
    }

    // Reads a type at the current token; returns false (consuming nothing) when it is not one.
    bool Type(TypeInfo& info) {
        const D3DXEffectToken& token = Peek();
        if (token.kind != D3DXEffectToken::Identifier) {
            return false;
        }
        const std::string word = token.text;
        if (word == "vector" || word == "matrix") {
            Next();
            const bool isMatrix = word == "matrix";
            info = isMatrix ? TypeInfo{D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 4, 4} : TypeInfo{D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 4};
            if (IsPunct("<") && Peek(1).kind == D3DXEffectToken::Identifier) {
                Next();
                TypeInfo base;
                if (!NumericType(Identifier(), base) || base.parameterClass != D3DXPC_SCALAR) {
                    Unexpected(tokens[at - 1]);
                }
                info.type = base.type;
                Expect(",");
                if (isMatrix) {
                    info.rows = SmallInteger();
                    Expect(",");
                }
                info.columns = SmallInteger();
                Expect(">");
            }
            return true;
        }
        if (NumericType(word, info) || ObjectType(word, info)) {
            Next();
            return true;
        }
        if (const auto alias = aliases.find(word); alias != aliases.end()) {
            Next();
            info = alias->second;
            return true;
        }
        if (structs.count(word) != 0) {
            Next();
            info = TypeInfo{D3DXPC_STRUCT, D3DXPT_VOID, 0, 0};
            return true;
        }
        if (word == "void") {
            Next();
            info = TypeInfo{D3DXPC_OBJECT, D3DXPT_VOID, 0, 0};
            return true;
        }
        return false;
    }

    // --- top level ---

    void Struct() {
        Next();
        const std::string name = Identifier();
        structs.insert(name);
        if (IsPunct("{")) {
            SkipBalanced();
        }
        if (Peek().kind == D3DXEffectToken::Identifier) {
            // "struct S { ... } s;": a parameter of the struct type.
            TypeInfo info{D3DXPC_STRUCT, D3DXPT_VOID, 0, 0};
            Declarators(info, false, false);
            return;
        }
        Expect(";");
    }

    void Typedef() {
        Next();
        while (IsWord("const")) {
            Next();
        }
        TypeInfo info;
        if (!Type(info)) {
            Unexpected(Peek());
        }
        aliases[Identifier()] = info;
        Expect(";");
    }

    void Declaration() {
        bool shared = false;
        bool isStatic = false;
        static const char* const qualifiers[] = {"shared", "uniform", "static", "const", "extern", "volatile",
                                                 "row_major", "column_major", "inline", "precise"};
        while (Peek().kind == D3DXEffectToken::Identifier) {
            const std::string& word = Peek().text;
            bool matched = false;
            for (const char* q : qualifiers) {
                if (word == q) {
                    matched = true;
                }
            }
            if (!matched) {
                break;
            }
            shared = shared || word == "shared";
            isStatic = isStatic || word == "static";
            Next();
        }
        TypeInfo info;
        const D3DXEffectToken& typeToken = Peek();
        if (!Type(info)) {
            if (typeToken.kind == D3DXEffectToken::Identifier) {
                Error(typeToken, "X3000", "unrecognized identifier '" + typeToken.text + "'");
            }
            Unexpected(typeToken);
        }
        // A function: name, parameter list, optional semantic, then a body or ';'.
        if (Peek().kind == D3DXEffectToken::Identifier && IsPunct("(", 1)) {
            Next();
            SkipBalanced();
            if (IsPunct(":")) {
                Next();
                Identifier();
                if (IsPunct("(")) {
                    SkipBalanced();
                }
            }
            if (IsPunct("{")) {
                SkipBalanced();
            } else {
                Expect(";");
            }
            ++out.functions;
            return;
        }
        if (info.type == D3DXPT_VOID && info.parameterClass == D3DXPC_OBJECT) {
            Unexpected(Peek());  // "void x;"
        }
        Declarators(info, shared, isStatic);
    }

    // One or more "name [N] : SEMANTIC <annotations> = init" separated by ',' and ended by ';'.
    void Declarators(const TypeInfo& info, bool shared, bool isStatic) {
        while (true) {
            D3DXEffectParameterSource p;
            const D3DXEffectToken& nameToken = Peek();
            p.name = Identifier();
            if (parameters.count(p.name) != 0) {
                Error(nameToken, "X3003", "redefinition of '" + p.name + "'");
            }
            static_cast<D3DXParameterShape&>(p) = info;
            p.shared = shared;
            p.isStatic = isStatic;
            if (IsPunct("[")) {
                Next();
                const D3DXEffectToken& size = Next();
                if (size.kind != D3DXEffectToken::Number || !(size.number >= 1 && size.number <= 65536)) {
                    Unexpected(size);
                }
                p.elements = static_cast<UINT>(size.number);
                Expect("]");
            }
            while (IsPunct(":")) {
                Next();
                if (IsWord("register")) {
                    Next();
                    SkipBalanced();
                } else {
                    p.semantic = Identifier();
                }
            }
            if (IsPunct("<")) {
                Annotations(p.annotations);
            }
            const bool numeric = p.parameterClass != D3DXPC_OBJECT && p.parameterClass != D3DXPC_STRUCT;
            if (numeric) {
                const size_t count = size_t{p.rows} * p.columns * std::max(1u, p.elements);
                if (count > MaxParameterValues - parameterValues) {
                    Error(nameToken, "X3000", "the effect's parameters hold too many values");
                }
                parameterValues += count;
                p.numbers.assign(count, 0.0);
            }
            const bool isSampler = p.type >= D3DXPT_SAMPLER && p.type <= D3DXPT_SAMPLERCUBE;
            if (isSampler && (IsPunct("{") || IsWord("sampler_state") || (IsPunct("=") && IsSamplerState(1)))) {
                if (IsPunct("=")) {
                    Next();
                }
                if (IsWord("sampler_state")) {
                    Next();
                }
                p.samplerStates = StateBlock();
            } else if (IsPunct("=")) {
                Next();
                Initializer(p);
            }
            parameters[p.name] = out.parameters.size();
            out.parameters.push_back(std::move(p));
            if (IsPunct(",")) {
                Next();
                continue;
            }
            Expect(";");
            return;
        }
    }

    bool IsSamplerState(size_t ahead) const {
        return Peek(ahead).kind == D3DXEffectToken::Identifier && Peek(ahead).text == "sampler_state";
    }

    void Initializer(D3DXEffectParameterSource& p) {
        if (p.type == D3DXPT_STRING) {
            p.text.clear();
            if (Peek().kind != D3DXEffectToken::String) {
                Unexpected(Peek());
            }
            while (Peek().kind == D3DXEffectToken::String) {
                p.text += Next().text;
            }
            return;
        }
        if (p.parameterClass == D3DXPC_OBJECT || p.parameterClass == D3DXPC_STRUCT) {
            // Shaders ("compile ps_2_0 f()", "asm { }"), texture and struct initialisers: not evaluated.
            while (!IsPunct(";") && !IsPunct(",")) {
                if (Peek().kind == D3DXEffectToken::End) {
                    Unexpected(Peek());
                }
                if (IsPunct("{") || IsPunct("(") || IsPunct("[")) {
                    SkipBalanced();
                } else {
                    Next();
                }
            }
            return;
        }
        const D3DXEffectToken& start = Peek();
        std::vector<double> values = InitList();
        if (values.size() == 1 && p.numbers.size() > 1) {
            values.assign(p.numbers.size(), values[0]);  // a scalar fills every component
        }
        if (values.size() > p.numbers.size()) {
            Error(start, "X3017", "initializer of '" + p.name + "' has too many values");
        }
        std::copy(values.begin(), values.end(), p.numbers.begin());
    }

    std::vector<double> InitList() {
        const NestingGuard nesting(depth, MaxNesting, [&] { TooDeep(); });
        if (!IsPunct("{")) {
            return Expression();
        }
        Next();
        std::vector<double> values;
        while (!IsPunct("}")) {
            std::vector<double> element = InitList();
            values.insert(values.end(), element.begin(), element.end());
            if (IsPunct(",")) {
                Next();
            } else if (!IsPunct("}")) {
                Unexpected(Peek());
            }
        }
        Next();
        return values;
    }

    // Component-wise arithmetic; a one-component side is broadcast.
    static std::vector<double> Combine(const std::vector<double>& a, const std::vector<double>& b, char op) {
        const size_t n = std::max(a.size(), b.size());
        std::vector<double> result(n);
        for (size_t i = 0; i < n; ++i) {
            const double x = a[a.size() == 1 ? 0 : std::min(i, a.size() - 1)];
            const double y = b[b.size() == 1 ? 0 : std::min(i, b.size() - 1)];
            result[i] = op == '+' ? x + y : op == '-' ? x - y : op == '*' ? x * y : (y != 0.0 ? x / y : 0.0);
        }
        return result;
    }

    std::vector<double> Expression() {
        std::vector<double> value = Term();
        while (IsPunct("+") || IsPunct("-")) {
            const char op = Next().text[0];
            value = Combine(value, Term(), op);
        }
        return value;
    }

    std::vector<double> Term() {
        std::vector<double> value = Unary();
        while (IsPunct("*") || IsPunct("/")) {
            const char op = Next().text[0];
            value = Combine(value, Unary(), op);
        }
        return value;
    }

    std::vector<double> Unary() {
        const NestingGuard nesting(depth, MaxNesting, [&] { TooDeep(); });
        if (IsPunct("-")) {
            Next();
            std::vector<double> value = Unary();
            for (double& v : value) {
                v = -v;
            }
            return value;
        }
        if (IsPunct("+")) {
            Next();
            return Unary();
        }
        if (IsPunct("(")) {
            Next();
            std::vector<double> value = Expression();
            Expect(")");
            return value;
        }
        const D3DXEffectToken& token = Peek();
        if (token.kind == D3DXEffectToken::Number) {
            return {Next().number};
        }
        if (token.kind != D3DXEffectToken::Identifier) {
            Unexpected(token);
        }
        if (token.text == "true" || token.text == "TRUE") {
            Next();
            return {1.0};
        }
        if (token.text == "false" || token.text == "FALSE") {
            Next();
            return {0.0};
        }
        TypeInfo constructor;
        if ((NumericType(token.text, constructor) || token.text == "vector" || token.text == "matrix") && IsPunct("(", 1)) {
            Next();
            Next();
            std::vector<double> values;
            while (!IsPunct(")")) {
                std::vector<double> arg = Expression();
                values.insert(values.end(), arg.begin(), arg.end());
                if (IsPunct(",")) {
                    Next();
                } else if (!IsPunct(")")) {
                    Unexpected(Peek());
                }
            }
            Next();
            return values;
        }
        if (const auto found = parameters.find(token.text); found != parameters.end()) {
            const D3DXEffectParameterSource& earlier = out.parameters[found->second];
            if (!earlier.numbers.empty()) {
                Next();
                return earlier.numbers;
            }
        }
        Error(token, "X3004", "undeclared identifier '" + token.text + "'");
    }

    // "< type name = value; ... >"
    void Annotations(std::vector<D3DXEffectParameterSource>& list) {
        Expect("<");
        while (!IsPunct(">")) {
            TypeInfo info;
            const D3DXEffectToken& typeToken = Peek();
            if (!Type(info)) {
                Unexpected(typeToken);
            }
            D3DXEffectParameterSource a;
            a.name = Identifier();
            static_cast<D3DXParameterShape&>(a) = info;
            if (a.parameterClass != D3DXPC_OBJECT && a.parameterClass != D3DXPC_STRUCT) {
                a.numbers.assign(size_t{a.rows} * a.columns, 0.0);
            }
            Expect("=");
            Initializer(a);
            Expect(";");
            list.push_back(std::move(a));
        }
        Next();
    }

    // "{ State[index] = value; ... }" of a pass or a sampler_state.
    std::vector<D3DXEffectStateSource> StateBlock() {
        Expect("{");
        std::vector<D3DXEffectStateSource> states;
        while (!IsPunct("}")) {
            D3DXEffectStateSource s;
            s.line = Peek().line;
            s.state = Identifier();
            if (IsPunct("[")) {
                Next();
                const D3DXEffectToken& index = Next();
                if (index.kind != D3DXEffectToken::Number || !(index.number >= 0 && index.number <= 255)) {
                    Unexpected(index);
                }
                s.index = static_cast<int>(index.number);
                Expect("]");
            }
            Expect("=");
            s.value = TokensToSemicolon();
            if (s.value.empty()) {
                Unexpected(tokens[at - 1]);
            }
            states.push_back(std::move(s));
        }
        Next();
        return states;
    }

    void Technique() {
        Next();
        D3DXEffectTechniqueSource t;
        if (Peek().kind == D3DXEffectToken::Identifier) {
            t.name = Next().text;
        }
        if (IsPunct("<")) {
            Annotations(t.annotations);
        }
        Expect("{");
        while (!IsPunct("}")) {
            if (!IsWord("pass")) {
                Unexpected(Peek());
            }
            Next();
            D3DXEffectPassSource p;
            if (Peek().kind == D3DXEffectToken::Identifier) {
                p.name = Next().text;
            }
            if (IsPunct("<")) {
                Annotations(p.annotations);
            }
            p.states = StateBlock();
            t.passes.push_back(std::move(p));
        }
        Next();
        out.techniques.push_back(std::move(t));
    }

    std::vector<D3DXEffectToken> tokens;
    size_t at = 0;
    int depth = 0;  // of brackets and unary operators in the expression being read
    size_t parameterValues = 0;
    D3DXEffectSource& out;
    std::set<std::string> structs;
    std::map<std::string, TypeInfo> aliases;
    std::map<std::string, size_t> parameters;  // name -> index in out.parameters
};

}  // namespace

int64_t D3DXEffectInteger(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value <= -9223372036854775808.0) {
        return INT64_MIN;
    }
    if (value >= 9223372036854775808.0) {
        return INT64_MAX;
    }
    return static_cast<int64_t>(value);
}

bool D3DXParseEffect(std::string_view text, const D3DXMACRO* defines, ID3DXInclude* include, D3DXEffectSource& source,
                     std::string& errors) {
    source = D3DXEffectSource{};
    try {
        PreprocessorState state;
        state.include = include;
        for (const D3DXMACRO* m = defines; m != nullptr && m->Name != nullptr; ++m) {
            state.macros[m->Name] =
                Macro{Lexer::LexPlain(m->Definition != nullptr ? m->Definition : "", "macro", 1, 1)};
        }
        Lexer lexer(text, "memory", state);
        lexer.Run();
        Parser parser(std::move(state.output), source);
        parser.Run();
        return true;
    } catch (const CompileError& e) {
        errors = e.file + "(" + std::to_string(e.line) + "," + std::to_string(e.column) + "): error " + e.code + ": " +
                 e.message + "\n";
        source = D3DXEffectSource{};
        return false;
    }
}
