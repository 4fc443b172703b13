// Tokeniser: comments, literals, keywords and operators.
#include "sqlexer.h"

#include <cctype>
#include <cstring>

namespace {
struct Keyword {
    const char *name;
    SQInteger tok;
};
// clang-format off
const Keyword kKeywords[] = {
    {"base", TK_BASE}, {"break", TK_BREAK}, {"case", TK_CASE}, {"catch", TK_CATCH}, {"class", TK_CLASS},
    {"clone", TK_CLONE}, {"continue", TK_CONTINUE}, {"const", TK_CONST}, {"default", TK_DEFAULT},
    {"delete", TK_DELETE}, {"else", TK_ELSE}, {"enum", TK_ENUM}, {"extends", TK_EXTENDS}, {"for", TK_FOR},
    {"foreach", TK_FOREACH}, {"function", TK_FUNCTION}, {"if", TK_IF}, {"in", TK_IN}, {"local", TK_LOCAL},
    {"null", TK_NULL}, {"resume", TK_RESUME}, {"return", TK_RETURN}, {"switch", TK_SWITCH}, {"this", TK_THIS},
    {"throw", TK_THROW}, {"try", TK_TRY}, {"typeof", TK_TYPEOF}, {"while", TK_WHILE}, {"yield", TK_YIELD},
    {"constructor", TK_CONSTRUCTOR}, {"instanceof", TK_INSTANCEOF}, {"true", TK_TRUE}, {"false", TK_FALSE},
    {"static", TK_STATIC}, {"__LINE__", TK___LINE__}, {"__FILE__", TK___FILE__}, {"rawcall", TK_RAWCALL}, {"do", TK_DO},
};
// clang-format on
}  // namespace

const char *SQLexer::Tok2Str(SQInteger tok) {
    for (const auto &k : kKeywords)
        if (k.tok == tok) return k.name;
    switch (tok) {
        case TK_IDENTIFIER: return "IDENTIFIER";
        case TK_STRING_LITERAL: return "STRING_LITERAL";
        case TK_INTEGER: return "INTEGER";
        case TK_FLOAT: return "FLOAT";
        case TK_EQ: return "==";
        case TK_NE: return "!=";
        case TK_LE: return "<=";
        case TK_GE: return ">=";
        case TK_3WAYSCMP: return "<=>";
        case TK_AND: return "&&";
        case TK_OR: return "||";
        case TK_PLUSPLUS: return "++";
        case TK_MINUSMINUS: return "--";
        case TK_PLUSEQ: return "+=";
        case TK_MINUSEQ: return "-=";
        case TK_MULEQ: return "*=";
        case TK_DIVEQ: return "/=";
        case TK_MODEQ: return "%=";
        case TK_SHIFTL: return "<<";
        case TK_SHIFTR: return ">>";
        case TK_USHIFTR: return ">>>";
        case TK_NEWSLOT: return "<-";
        case TK_DOUBLE_COLON: return "::";
        case TK_VARPARAMS: return "...";
        case TK_ATTR_OPEN: return "</";
        case TK_ATTR_CLOSE: return "/>";
        case TK_EOS: return "end of script";
        default: return nullptr;
    }
}

void SQLexer::Error(const std::string &msg) { throw SQCompileError{msg, _currentline, _currentcolumn}; }

void SQLexer::BlockComment() {
    // at '/*'
    Next();
    Next();
    for (;;) {
        if (AtEnd()) Error("missing \"*/\" in comment");
        if (Cur() == '*' && Peek() == '/') {
            Next();
            Next();
            return;
        }
        Next();
    }
}

void SQLexer::LineComment() {
    while (!AtEnd() && Cur() != '\n') Next();
}

SQInteger SQLexer::Lex() {
    _lasttokenline = _currentline;
    _prevnewline = false;
    _prevtoken = _token;
    for (;;) {
        _tokenline = _currentline;
        _tokencolumn = _currentcolumn;
        int c = Cur();
        switch (c) {
            case 0: return _token = TK_EOS;
            case '\t':
            case '\r':
            case ' ': Next(); continue;
            case '\n':
                Next();
                _prevnewline = true;
                continue;
            case '#': LineComment(); continue;
            case '/':
                if (Peek() == '*') {
                    BlockComment();
                    continue;
                }
                if (Peek() == '/') {
                    LineComment();
                    continue;
                }
                Next();
                if (Cur() == '=') {
                    Next();
                    return _token = TK_DIVEQ;
                }
                if (Cur() == '>') {
                    Next();
                    return _token = TK_ATTR_CLOSE;
                }
                return _token = '/';
            case '=':
                Next();
                if (Cur() == '=') {
                    Next();
                    return _token = TK_EQ;
                }
                return _token = '=';
            case '<':
                Next();
                if (Cur() == '=') {
                    Next();
                    if (Cur() == '>') {
                        Next();
                        return _token = TK_3WAYSCMP;
                    }
                    return _token = TK_LE;
                }
                if (Cur() == '-') {
                    Next();
                    return _token = TK_NEWSLOT;
                }
                if (Cur() == '<') {
                    Next();
                    return _token = TK_SHIFTL;
                }
                if (Cur() == '/') {
                    Next();
                    return _token = TK_ATTR_OPEN;
                }
                return _token = '<';
            case '>':
                Next();
                if (Cur() == '=') {
                    Next();
                    return _token = TK_GE;
                }
                if (Cur() == '>') {
                    Next();
                    if (Cur() == '>') {
                        Next();
                        return _token = TK_USHIFTR;
                    }
                    return _token = TK_SHIFTR;
                }
                return _token = '>';
            case '!':
                Next();
                if (Cur() == '=') {
                    Next();
                    return _token = TK_NE;
                }
                return _token = '!';
            case '@':
                Next();
                if (Cur() == '"') return ReadString('"', true);
                return _token = '@';
            case '"':
            case '\'': return ReadString(c, false);
            case '{':
            case '}':
            case '(':
            case ')':
            case '[':
            case ']':
            case ';':
            case ',':
            case '?':
            case '^':
            case '~': Next(); return _token = c;
            case '.':
                Next();
                if (Cur() != '.') return _token = '.';
                Next();
                if (Cur() != '.') Error("invalid token '..'");
                Next();
                return _token = TK_VARPARAMS;
            case '&':
                Next();
                if (Cur() == '&') {
                    Next();
                    return _token = TK_AND;
                }
                return _token = '&';
            case '|':
                Next();
                if (Cur() == '|') {
                    Next();
                    return _token = TK_OR;
                }
                return _token = '|';
            case ':':
                Next();
                if (Cur() == ':') {
                    Next();
                    return _token = TK_DOUBLE_COLON;
                }
                return _token = ':';
            case '*':
                Next();
                if (Cur() == '=') {
                    Next();
                    return _token = TK_MULEQ;
                }
                return _token = '*';
            case '%':
                Next();
                if (Cur() == '=') {
                    Next();
                    return _token = TK_MODEQ;
                }
                return _token = '%';
            case '-':
                Next();
                if (Cur() == '=') {
                    Next();
                    return _token = TK_MINUSEQ;
                }
                if (Cur() == '-') {
                    Next();
                    return _token = TK_MINUSMINUS;
                }
                return _token = '-';
            case '+':
                Next();
                if (Cur() == '=') {
                    Next();
                    return _token = TK_PLUSEQ;
                }
                if (Cur() == '+') {
                    Next();
                    return _token = TK_PLUSPLUS;
                }
                return _token = '+';
            default:
                if (isdigit(c)) return _token = ReadNumber();
                if (isalpha(c) || c == '_') return _token = ReadId();
                // control bytes are refused where they stand; any other byte is a
                // token of its own that no rule of the grammar accepts
                if (c < 0x20 || c == 0x7f) Error("unexpected character(control)");
                Next();
                return _token = c;
        }
    }
}

SQInteger SQLexer::ReadId() {
    _svalue.clear();
    while (isalnum(Cur()) || Cur() == '_') {
        _svalue.push_back((char)Cur());
        Next();
    }
    for (const auto &k : kKeywords)
        if (_svalue == k.name) return k.tok;
    return TK_IDENTIFIER;
}

static int HexVal(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static void AppendUtf8(std::string &s, unsigned long cp) {
    if (cp < 0x80)
        s.push_back((char)cp);
    else if (cp < 0x800) {
        s.push_back((char)(0xC0 | (cp >> 6)));
        s.push_back((char)(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        s.push_back((char)(0xE0 | (cp >> 12)));
        s.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
        s.push_back((char)(0x80 | (cp & 0x3F)));
    } else if (cp > 0x10FFFF) {
        AppendUtf8(s, 0xFFFD);  // no such code point: the replacement character
    } else {
        s.push_back((char)(0xF0 | ((cp >> 18) & 0x07)));
        s.push_back((char)(0x80 | ((cp >> 12) & 0x3F)));
        s.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
        s.push_back((char)(0x80 | (cp & 0x3F)));
    }
}

SQInteger SQLexer::ReadString(int delim, bool verbatim) {
    _svalue.clear();
    Next();  // opening quote
    for (;;) {
        if (AtEnd()) Error("unfinished string");
        int c = Cur();
        if (c == delim) {
            Next();
            if (verbatim && Cur() == delim) {  // doubled quote
                _svalue.push_back((char)delim);
                Next();
                continue;
            }
            break;
        }
        if (c == '\n' && !verbatim) Error("newline in a constant");
        if (c == '\\' && !verbatim) {
            Next();
            int e = Cur();
            switch (e) {
                case 't':
                    _svalue.push_back('\t');
                    Next();
                    break;
                case 'a':
                    _svalue.push_back('\a');
                    Next();
                    break;
                case 'b':
                    _svalue.push_back('\b');
                    Next();
                    break;
                case 'n':
                    _svalue.push_back('\n');
                    Next();
                    break;
                case 'r':
                    _svalue.push_back('\r');
                    Next();
                    break;
                case 'v':
                    _svalue.push_back('\v');
                    Next();
                    break;
                case 'f':
                    _svalue.push_back('\f');
                    Next();
                    break;
                case '0':
                    _svalue.push_back('\0');
                    Next();
                    break;
                case '\\':
                    _svalue.push_back('\\');
                    Next();
                    break;
                case '"':
                    _svalue.push_back('"');
                    Next();
                    break;
                case '\'':
                    _svalue.push_back('\'');
                    Next();
                    break;
                case 'x':
                case 'u':
                case 'U': {
                    Next();
                    int maxd = e == 'x' ? 2 : (e == 'u' ? 4 : 8);
                    if (HexVal(Cur()) < 0) Error("hexadecimal number expected");
                    unsigned long v = 0;
                    for (int i = 0; i < maxd && HexVal(Cur()) >= 0; i++) {
                        v = v * 16 + (unsigned long)HexVal(Cur());
                        Next();
                    }
                    if (e == 'x')
                        _svalue.push_back((char)v);
                    else
                        AppendUtf8(_svalue, v);
                    break;
                }
                default: Error("unrecognised escaper char");
            }
            continue;
        }
        _svalue.push_back((char)c);
        Next();
    }
    if (delim == '\'') {
        if (_svalue.empty()) Error("empty constant");
        if (_svalue.size() > 1) Error("constant too long");
        _nvalue = (SQInteger)(signed char)_svalue[0];
        return _token = TK_INTEGER;
    }
    return _token = TK_STRING_LITERAL;
}

// Numbers. "0x" starts a hex literal (no digits read as 0, at most 16 digits),
// "0" and an octal digit an octal one. A decimal literal takes every following
// digit, '.', 'e' or 'E' (a sign may follow an 'e') and keeps the longest prefix
// that reads as a number; it is a float when it has a '.' or an exponent.
// A letter right after a number ends it: the parser then sees an identifier.
SQInteger SQLexer::ReadNumber() {
    if (Cur() == '0' && (Peek() == 'x' || Peek() == 'X')) {
        Next();
        Next();
        unsigned long long v = 0;
        int digits = 0;
        while (HexVal(Cur()) >= 0) {
            v = v * 16 + (unsigned long long)HexVal(Cur());
            Next();
            if (++digits > 16) Error("too many digits for an Hex number");
        }
        _nvalue = (SQInteger)v;
        return TK_INTEGER;
    }
    if (Cur() == '0' && Peek() >= '0' && Peek() <= '7') {
        Next();
        unsigned long long v = 0;
        while (isdigit(Cur())) {
            if (Cur() > '7') Error("invalid octal number");
            v = v * 8 + (unsigned long long)(Cur() - '0');
            Next();
        }
        _nvalue = (SQInteger)v;
        return TK_INTEGER;
    }
    std::string buf;
    bool isfloat = false;
    for (;;) {
        int c = Cur();
        if (isdigit(c)) {
            buf.push_back((char)c);
            Next();
        } else if (c == '.') {
            isfloat = true;
            buf.push_back('.');
            Next();
        } else if (c == 'e' || c == 'E') {
            isfloat = true;
            buf.push_back((char)c);
            Next();
            if (Cur() == '+' || Cur() == '-') {
                buf.push_back((char)Cur());
                Next();
            }
            if (!isdigit(Cur())) Error("exponent expected");
        } else {
            break;
        }
    }
    if (isfloat) {
        _fvalue = (SQFloat)strtod(buf.c_str(), nullptr);
        return TK_FLOAT;
    }
    unsigned long long v = 0;
    for (char ch : buf) v = v * 10 + (unsigned long long)(ch - '0');
    _nvalue = (SQInteger)v;
    return TK_INTEGER;
}
