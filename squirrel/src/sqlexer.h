// Tokeniser for script source.
#pragma once
#include <cstring>
#include <string>

#include "sqobject.h"

// clang-format off
enum SQToken {
    TK_EOS = 0,
    TK_IDENTIFIER = 258,
    TK_STRING_LITERAL, TK_INTEGER, TK_FLOAT,
    TK_BASE, TK_BREAK, TK_CASE, TK_CATCH, TK_CLASS, TK_CLONE, TK_CONTINUE, TK_CONST, TK_DEFAULT,
    TK_DELETE, TK_ELSE, TK_ENUM, TK_EXTENDS, TK_FOR, TK_FOREACH, TK_FUNCTION, TK_IF, TK_IN,
    TK_LOCAL, TK_NULL, TK_RESUME, TK_RETURN, TK_SWITCH, TK_THIS, TK_THROW, TK_TRY, TK_TYPEOF,
    TK_WHILE, TK_YIELD, TK_CONSTRUCTOR, TK_INSTANCEOF, TK_TRUE, TK_FALSE, TK_STATIC, TK___LINE__,
    TK___FILE__, TK_RAWCALL, TK_DO,
    TK_EQ, TK_NE, TK_LE, TK_GE, TK_3WAYSCMP, TK_AND, TK_OR, TK_PLUSPLUS, TK_MINUSMINUS,
    TK_PLUSEQ, TK_MINUSEQ, TK_MULEQ, TK_DIVEQ, TK_MODEQ, TK_SHIFTL, TK_SHIFTR, TK_USHIFTR,
    TK_NEWSLOT, TK_DOUBLE_COLON, TK_VARPARAMS, TK_ATTR_OPEN, TK_ATTR_CLOSE
};
// clang-format on

struct SQCompileError {
    std::string msg;
    SQInteger line, column;
};

class SQLexer {
public:
    // A NUL byte ends the source, as the end of a reader's stream does.
    SQLexer(const char *src, size_t len) : _src(src), _len(strnlen(src, len)) {}
    SQInteger Lex();
    [[noreturn]] void Error(const std::string &msg);
    static const char *Tok2Str(SQInteger tok);

    SQInteger _token = 0;
    SQInteger _prevtoken = 0;
    SQInteger _currentline = 1;
    // Column of the read position (the character after the current token), as
    // error messages give it: counted from 1 on every line after a newline, from
    // 0 on the first line, and not advanced by reaching the end of the source.
    SQInteger _currentcolumn = 0;
    SQInteger _lasttokenline = 1;
    SQInteger _tokenline = 1;  // line where the current token starts
    SQInteger _tokencolumn = 1;
    bool _prevnewline = false;  // a newline was seen before the current token
    std::string _svalue;
    SQInteger _nvalue = 0;
    SQFloat _fvalue = 0;

private:
    int Cur() const { return _pos < _len ? (unsigned char)_src[_pos] : 0; }
    int Peek(size_t o = 1) const { return _pos + o < _len ? (unsigned char)_src[_pos + o] : 0; }
    void Next() {
        if (_pos < _len) {
            bool newline = _src[_pos] == '\n';
            _pos++;
            if (newline) {
                _currentline++;
                _currentcolumn = 1;
            } else if (_pos < _len) {
                _currentcolumn++;
            }
        }
    }
    bool AtEnd() const { return _pos >= _len; }
    SQInteger ReadString(int delim, bool verbatim);
    SQInteger ReadNumber();
    SQInteger ReadId();
    void BlockComment();
    void LineComment();

    const char *_src;
    size_t _len;
    size_t _pos = 0;
};
