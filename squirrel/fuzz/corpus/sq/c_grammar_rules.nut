// The lexer and the grammar: what compiles, what each refusal says.
function p(x) { print(x + "\n"); }
// compiles src and runs it; prints its result or the error
function run(src) {
    try {
        local f = compilestring(src);
        p(src + "  ->  " + f());
    } catch (e) {
        p(src + "  ->  error: " + e);
    }
}
// numbers: the longest valid prefix of digits, dots and exponents
run("return 3.2.1;");
run("return 4..5;");
run("return 2e2.5;");
run("return 1.5e2e9;");
run("return [6.7.8, 9].len();");
run("return 1e;");
run("return 1e+;");
run("return 1E-2;");
// a letter right after a number starts the next token
run("local 2q = 1;");
run("return (3f);");
run("return (0b11);");
run("return 3ex;");
// hex, octal
run("return 0x;");
run("return 0x + 4;");
run("return 0xFF;");
run("return 0x0000000000000000F;");
run("return 0xFFFFFFFFFFFFFFFF;");
run("return 017;");
run("return 0128;");
run("return 017.5;");
run("return 07e1;");
run("return 09;");
run("return 08.5;");
run("return 00.5;");
// bytes that start no token
run("local v = $;");
run("local v = `;");
run("local v = 1 \\ 2;");
run("local v = \xe9;");
run("local v = 1 \x01 2;");
run("local v = 1\x7f;");
// a code point above U+10FFFF becomes U+FFFD
run("return \"\\U00110000\".len();");
run("return \"\\U0010FFFF\".len();");
// base is a reserved word
run("local base = 1;");
run("function f(base) {}");
run("function base() {}");
run("const base = 1;");
run("enum base { a }");
run("local t = {}; return t.base;");
run("return { base = 1 };");
run("class C { base = 1 }");
run("base = 1;");
run("return base;");
// constructor
run("local constructor = 4; return 1;");
run("local t = { x = 1 }; return t.constructor;");
run("return { constructor = 1 };");
run("return { constructor(a) { return a; } }.constructor(5);");
// class bodies: ';' or nothing between members, never ','; no string keys
run("class P { u = 1, v = 2 }");
run("class P { u = 1; v = 2 } return P().v;");
run("class P { u = 1 v = 2 } return P().v;");
run("class P { \"k\" = 1 }");
run("class P { \"k\": 1 }");
run("class P { [\"k\"] = 1 } return P().k;");
run("class P </ a = 1, b = 2 c = 3 /> {} return P.getattributes(null).c;");
run("class P </ a = 1; b = 2 /> {}");
// table constructors: ',' or nothing between slots, never ';'
run("return { a = 1 b = 2 }.b;");
run("return { a = 1; b = 2 };");
run("return { \"k\": 3 }.k;");
run("return { \"k\" = 3 };");
// arrays and calls may leave out commas; an empty element is an error
run("return [1 2 3].len();");
run("return [1, 2, 3,].len();");
run("return [1,,2];");
run("function f(a, b) { return a + b; } return f(1 2);");
run("function f(a, b) { return a + b; } return f(1,,2);");
run("function f(a, b) { return a + b; } return f(1, 2,);");
// class statements
run("class {}");
run("class extends B {}");
run("class ::P1 { x = 1 } return ::P1().x;");
run("local T = {}; class T.P { x = 2 } return T.P().x;");
run("local T = {}; class T[\"Q\"] { x = 3 } return T.Q().x;");
run("local L = null; class L {}");
// switch: default comes last
run("switch (1) { default: break; case 1: break; }");
run("switch (1) { default: break; default: break; }");
run("switch (2) { case 1: return \"one\"; default: return \"other\"; }");
// open constructs at the end of the text
run("function g() {");
run("if (true) {");
run("while (true) {");
run("try {");
run("switch (1) { case 1:");
run("local a = [1, 2");
run("print(1, 2");
run("local t = { a = 1");
run("class C { a = 1");
run("function f(p");
run("function f(p q) {}");
// local function does not see itself
run("local function fac(n) { return n < 2 ? 1 : n * fac(n - 1); }\nreturn fac(3);");
run("::fac <- function(n) { return 100; }; local function fac(n) { return n < 2 ? 1 : n * fac(n - 1); }\nreturn fac(3);");
run("local function twice(x) { return x * 2; }\nreturn twice(21);");
// enums count only the entries without a value
run("enum G { p, q = 20, r, s = \"x\", t } return G.p + \" \" + G.q + \" \" + G.r + \" \" + G.s + \" \" + G.t;");
run("enum H { p = 5, q } return H.q;");
run("enum B { t = true, f = false } return B.t;");
run("enum G2 { p } local x = G2;");
run("enum G3 { p } return G3[\"p\"];");
run("enum G4 { p } return G4.zz;");
run("enum E { a = [] }");
run("const K = null;");
run("const K2 = -\"s\";");
run("const K3 = true; return K3;");
run("const K4 = -2.5; return K4;");
