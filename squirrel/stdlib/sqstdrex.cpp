// Regular expressions for the string library.
//
// A pattern compiles to a small program for a backtracking machine: the matcher
// keeps an explicit stack of choice points and undo records instead of recursing,
// so long subjects cannot exhaust the C stack. Loops whose body can match the
// empty string carry a progress check, so `(a*)*` terminates. A bitmap of visited
// (instruction, position) pairs cuts repeated work: a state that failed once fails
// again whatever path led to it, so matching stays linear in program x subject size
// (patterns like `(a*)*b` would otherwise take exponential time).
#include "sqstdlocal.h"
#include "sqstdstring.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace {

enum RexOp : unsigned char {
    RX_CHAR,     // a: the byte
    RX_ANY,      // any byte
    RX_CLASS,    // a: index into classes
    RX_BOL,      // at the start of the searched range
    RX_EOL,      // at the end of the searched range
    RX_WORDB,    // word boundary
    RX_NWORDB,   // not a word boundary
    RX_SPLIT,    // try a first, then b
    RX_JMP,      // a: target
    RX_SAVE,     // a: capture slot
    RX_MARK,     // a: loop register; remembers the position at the start of a loop pass
    RX_CHECK,    // a: loop register; fails when the pass consumed nothing
    RX_BALANCE,  // a: opening byte, b: closing byte
    RX_MATCH,
};

struct RexInst {
    RexOp op;
    int a = 0;
    int b = 0;
};

// The pattern's syntax tree, built by the parser and then emitted as code.
enum NodeKind {
    N_EMPTY,
    N_CHAR,
    N_ANY,
    N_CLASS,
    N_BOL,
    N_EOL,
    N_WORDB,
    N_NWORDB,
    N_BALANCE,
    N_GROUP,
    N_CONCAT,
    N_ALT,
    N_REPEAT
};

struct Node {
    NodeKind kind = N_EMPTY;
    int a = 0, b = 0;  // char / class index / capture index (-1: none) / repeat min, max (-1: inf)
    bool greedy = true;
    std::vector<int> kids;  // indices into the node pool
};

struct ClassSet {
    unsigned char bits[32] = {};
    void set(int c) { bits[(unsigned char)c >> 3] |= (unsigned char)(1u << (c & 7)); }
    bool has(int c) const { return bits[(unsigned char)c >> 3] & (1u << (c & 7)); }
};

constexpr size_t kMaxProgram = 200000;
constexpr size_t kMaxVisitedBits = (size_t)1 << 28;  // 32 MiB; larger searches run without the bitmap
constexpr int kMaxRepeat = 0xFFFF;

struct RexError {
    const char *msg;
};

bool is_word(int c) { return std::isalnum(c) || c == '_'; }

// Applies the predefined class letter (as in \d, \w) to the set; returns false for an unknown letter.
bool add_predefined(ClassSet &cs, int letter) {
    for (int c = 0; c < 256; ++c) {
        bool in;
        switch (letter) {
            case 'a': in = std::isalpha(c); break;
            case 'A': in = !std::isalpha(c); break;
            case 'w': in = is_word(c); break;
            case 'W': in = !is_word(c); break;
            case 's': in = std::isspace(c); break;
            case 'S': in = !std::isspace(c); break;
            case 'd': in = std::isdigit(c); break;
            case 'D': in = !std::isdigit(c); break;
            case 'x': in = std::isxdigit(c); break;
            case 'X': in = !std::isxdigit(c); break;
            case 'c': in = std::iscntrl(c); break;
            case 'C': in = !std::iscntrl(c); break;
            case 'p': in = std::ispunct(c); break;
            case 'P': in = !std::ispunct(c); break;
            case 'l': in = std::islower(c); break;
            case 'u': in = std::isupper(c); break;
            default: return false;
        }
        if (in) cs.set(c);
    }
    return true;
}

int escaped_char(int c) {
    switch (c) {
        case 't': return '\t';
        case 'n': return '\n';
        case 'r': return '\r';
        case 'f': return '\f';
        case 'v': return '\v';
        default: return c;
    }
}

class RexParser {
public:
    RexParser(const char *pattern, std::vector<Node> &nodes, std::vector<ClassSet> &classes)
        : p_(pattern), nodes_(nodes), classes_(classes) {}

    int parse_all() {
        int root = parse_alt();
        if (*p_ == ')') throw RexError{"unexpected ')'"};
        if (*p_) throw RexError{"unexpected character in pattern"};
        return root;
    }
    int captures() const { return ncaptures_; }

private:
    const char *p_;
    std::vector<Node> &nodes_;
    std::vector<ClassSet> &classes_;
    int ncaptures_ = 1;  // slot 0 is the whole match
    int depth_ = 0;

    int make(NodeKind k, int a = 0, int b = 0) {
        nodes_.push_back(Node{});
        nodes_.back().kind = k;
        nodes_.back().a = a;
        nodes_.back().b = b;
        return (int)nodes_.size() - 1;
    }

    int parse_alt() {
        if (++depth_ > 200) throw RexError{"pattern nested too deeply"};
        int first = parse_concat();
        if (*p_ != '|') {
            --depth_;
            return first;
        }
        int alt = make(N_ALT);
        nodes_[alt].kids.push_back(first);
        while (*p_ == '|') {
            ++p_;
            int next = parse_concat();
            nodes_[alt].kids.push_back(next);
        }
        --depth_;
        return alt;
    }

    int parse_concat() {
        int cat = make(N_CONCAT);
        while (*p_ && *p_ != '|' && *p_ != ')') {
            int atom = parse_atom();
            atom = parse_quantifiers(atom);
            nodes_[cat].kids.push_back(atom);
        }
        return cat;
    }

    bool parse_number(int &out) {
        if (!std::isdigit((unsigned char)*p_)) return false;
        long n = 0;
        while (std::isdigit((unsigned char)*p_)) {
            n = n * 10 + (*p_ - '0');
            if (n > kMaxRepeat) throw RexError{"repetition count too big"};
            ++p_;
        }
        out = (int)n;
        return true;
    }

    int parse_quantifiers(int atom) {
        for (;;) {
            int mn, mx;
            char c = *p_;
            if (c == '*') {
                mn = 0;
                mx = -1;
                ++p_;
            } else if (c == '+') {
                mn = 1;
                mx = -1;
                ++p_;
            } else if (c == '?') {
                mn = 0;
                mx = 1;
                ++p_;
            } else if (c == '{') {
                const char *save = p_;
                ++p_;
                if (!parse_number(mn)) {
                    p_ = save;
                    return atom;
                }
                if (*p_ == '}') {
                    mx = mn;
                    ++p_;
                } else if (*p_ == ',') {
                    ++p_;
                    if (*p_ == '}') {
                        mx = -1;
                        ++p_;
                    } else {
                        if (!parse_number(mx)) throw RexError{"expected a number in {n,m}"};
                        if (*p_ != '}') throw RexError{"expected '}'"};
                        ++p_;
                        if (mx < mn) throw RexError{"invalid repetition range"};
                    }
                } else
                    throw RexError{"expected ',' or '}'"};
            } else
                return atom;
            NodeKind k = nodes_[atom].kind;
            if (k == N_BOL || k == N_EOL || k == N_WORDB || k == N_NWORDB) throw RexError{"nothing to repeat"};
            int rep = make(N_REPEAT, mn, mx);
            if (*p_ == '?') {
                nodes_[rep].greedy = false;
                ++p_;
            }
            nodes_[rep].kids.push_back(atom);
            atom = rep;
        }
    }

    int parse_class() {
        // *p_ is just after '['
        ClassSet cs;
        bool negate = false;
        if (*p_ == '^') {
            negate = true;
            ++p_;
        }
        bool first = true;
        while (*p_ != ']' || first) {
            if (!*p_) throw RexError{"expected ']'"};
            first = false;
            int lo;
            if (*p_ == '\\') {
                ++p_;
                if (!*p_) throw RexError{"unfinished escape"};
                if (add_predefined(cs, (unsigned char)*p_)) {
                    ++p_;
                    continue;
                }
                lo = escaped_char((unsigned char)*p_++);
            } else {
                lo = (unsigned char)*p_++;
            }
            if (*p_ == '-' && p_[1] && p_[1] != ']') {
                ++p_;
                int hi;
                if (*p_ == '\\') {
                    ++p_;
                    if (!*p_) throw RexError{"unfinished escape"};
                    hi = escaped_char((unsigned char)*p_++);
                } else {
                    hi = (unsigned char)*p_++;
                }
                if (hi < lo) throw RexError{"invalid range"};
                for (int c = lo; c <= hi; ++c) cs.set(c);
            } else {
                cs.set(lo);
            }
        }
        ++p_;
        if (negate)
            for (auto &b : cs.bits) b = (unsigned char)~b;
        classes_.push_back(cs);
        return make(N_CLASS, (int)classes_.size() - 1);
    }

    int parse_atom() {
        char c = *p_++;
        switch (c) {
            case '(': {
                int cap = -1;
                if (p_[0] == '?' && p_[1] == ':')
                    p_ += 2;
                else
                    cap = ncaptures_++;
                int inner = parse_alt();
                if (*p_ != ')') throw RexError{"expected ')'"};
                ++p_;
                int g = make(N_GROUP, cap);
                nodes_[g].kids.push_back(inner);
                return g;
            }
            case '[': return parse_class();
            case '.': return make(N_ANY);
            case '^': return make(N_BOL);
            case '$': return make(N_EOL);
            case '*':
            case '+':
            case '?': throw RexError{"nothing to repeat"};
            case '\\': {
                char e = *p_++;
                if (!e) throw RexError{"unfinished escape"};
                if (e == 'b') return make(N_WORDB);
                if (e == 'B') return make(N_NWORDB);
                if (e == 'm') {
                    if (!p_[0] || !p_[1]) throw RexError{"balanced match needs two characters"};
                    int n = make(N_BALANCE, (unsigned char)p_[0], (unsigned char)p_[1]);
                    p_ += 2;
                    return n;
                }
                ClassSet cs;
                if (add_predefined(cs, (unsigned char)e)) {
                    classes_.push_back(cs);
                    return make(N_CLASS, (int)classes_.size() - 1);
                }
                return make(N_CHAR, escaped_char((unsigned char)e));
            }
            default: return make(N_CHAR, (unsigned char)c);
        }
    }
};

class RexEmitter {
public:
    RexEmitter(const std::vector<Node> &nodes, std::vector<RexInst> &code) : nodes_(nodes), code_(code) {}
    int loop_registers() const { return nloops_; }

    void emit(int n) {
        const Node &nd = nodes_[n];
        switch (nd.kind) {
            case N_EMPTY: break;
            case N_CHAR: put(RX_CHAR, nd.a); break;
            case N_ANY: put(RX_ANY); break;
            case N_CLASS: put(RX_CLASS, nd.a); break;
            case N_BOL: put(RX_BOL); break;
            case N_EOL: put(RX_EOL); break;
            case N_WORDB: put(RX_WORDB); break;
            case N_NWORDB: put(RX_NWORDB); break;
            case N_BALANCE: put(RX_BALANCE, nd.a, nd.b); break;
            case N_CONCAT:
                for (int k : nd.kids) emit(k);
                break;
            case N_GROUP:
                if (nd.a >= 0) put(RX_SAVE, nd.a * 2);
                emit(nd.kids[0]);
                if (nd.a >= 0) put(RX_SAVE, nd.a * 2 + 1);
                break;
            case N_ALT: {
                std::vector<int> exits;
                for (size_t i = 0; i < nd.kids.size(); ++i) {
                    if (i + 1 < nd.kids.size()) {
                        int split = put(RX_SPLIT);
                        code_[split].a = here();
                        emit(nd.kids[i]);
                        exits.push_back(put(RX_JMP));
                        code_[split].b = here();
                    } else {
                        emit(nd.kids[i]);
                    }
                }
                for (int e : exits) code_[e].a = here();
                break;
            }
            case N_REPEAT: emit_repeat(nd); break;
        }
    }

private:
    const std::vector<Node> &nodes_;
    std::vector<RexInst> &code_;
    int nloops_ = 0;

    int here() const { return (int)code_.size(); }
    int put(RexOp op, int a = 0, int b = 0) {
        if (code_.size() >= kMaxProgram) throw RexError{"pattern too complex"};
        code_.push_back(RexInst{op, a, b});
        return here() - 1;
    }
    void split_to(int at, int body, int out, bool greedy) {
        code_[at].a = greedy ? body : out;
        code_[at].b = greedy ? out : body;
    }

    bool single_step(int n) const {
        NodeKind k = nodes_[n].kind;
        return k == N_CHAR || k == N_ANY || k == N_CLASS;
    }

    void emit_repeat(const Node &nd) {
        int body = nd.kids[0];
        for (int i = 0; i < nd.a; ++i) emit(body);
        if (nd.b < 0) {
            // loop: SPLIT body,out ; [MARK] body [CHECK] ; JMP loop
            bool guard = !single_step(body);
            int reg = guard ? nloops_++ : 0;
            int loop = put(RX_SPLIT);
            int start = here();
            if (guard) put(RX_MARK, reg);
            emit(body);
            if (guard) put(RX_CHECK, reg);
            put(RX_JMP, loop);
            split_to(loop, start, here(), nd.greedy);
        } else {
            // optional copies, nested so that each later copy needs the one before
            std::vector<int> splits;
            for (int i = nd.a; i < nd.b; ++i) {
                int s = put(RX_SPLIT);
                splits.push_back(s);
                code_[s].a = here();
                emit(body);
            }
            int out = here();
            for (int s : splits) split_to(s, s + 1, out, nd.greedy);
        }
    }
};

}  // namespace

struct SQRexChoice {
    int pc;  // >= 0: resume at pc with position p; < 0: restore slot ~pc to p
    const char *p;
};

struct SQRex {
    std::vector<RexInst> code;
    std::vector<ClassSet> classes;
    int nsub = 1;
    int nloops = 0;
    bool has_first = false;  // every match starts with a byte of `first`
    ClassSet first;
    std::vector<const char *> slots;  // 2 per sub-expression, from the last successful run
    bool matched = false;
    std::vector<SQRexChoice> stack;  // scratch for the matcher, kept to avoid reallocating
    std::vector<uint64_t> visited;   // (pc, position) pairs already explored in this search
    bool memo = false;               // visited is in use for the current search
    size_t steps = 0;                // instructions run in the current search
    size_t memo_after = 0;           // steps after which the bitmap is switched on
    size_t memo_bits = 0;            // bitmap size for the current search; 0 when too big
};

namespace {

// Runs the program anchored at `start`. When `whole` is set the match must end at `end`.
bool rex_run(SQRex *rx, const char *begin, const char *end, const char *start, bool whole,
             std::vector<const char *> &slots) {
    const int nslot = rx->nsub * 2;
    slots.assign((size_t)(nslot + rx->nloops), nullptr);
    std::vector<SQRexChoice> &stack = rx->stack;
    stack.clear();
    int pc = 0;
    const char *p = start;
    const RexInst *code = rx->code.data();
    const size_t span = (size_t)(end - begin) + 1;
    uint64_t *visited = rx->memo ? rx->visited.data() : nullptr;
    for (;;) {
        bool fail = false;
        const RexInst &in = code[pc];
        if (!visited && ++rx->steps > rx->memo_after && rx->memo_bits) {
            // this search is doing a lot of work: from now on skip states already explored
            rx->visited.assign((rx->memo_bits + 63) / 64, 0);
            rx->memo = true;
            visited = rx->visited.data();
        }
        if (visited) {
            size_t bit = (size_t)pc * span + (size_t)(p - begin);
            uint64_t mask = (uint64_t)1 << (bit & 63);
            if (visited[bit >> 6] & mask)
                fail = true;
            else
                visited[bit >> 6] |= mask;
        }
        if (!fail) switch (in.op) {
                case RX_CHAR:
                    if (p < end && (unsigned char)*p == in.a) {
                        ++p;
                        ++pc;
                    } else
                        fail = true;
                    break;
                case RX_ANY:
                    if (p < end) {
                        ++p;
                        ++pc;
                    } else
                        fail = true;
                    break;
                case RX_CLASS:
                    if (p < end && rx->classes[(size_t)in.a].has((unsigned char)*p)) {
                        ++p;
                        ++pc;
                    } else
                        fail = true;
                    break;
                case RX_BOL:
                    if (p == begin)
                        ++pc;
                    else
                        fail = true;
                    break;
                case RX_EOL:
                    if (p == end)
                        ++pc;
                    else
                        fail = true;
                    break;
                case RX_WORDB:
                case RX_NWORDB: {
                    bool before = p > begin && is_word((unsigned char)p[-1]);
                    bool after = p < end && is_word((unsigned char)*p);
                    bool boundary = before != after;
                    if (boundary == (in.op == RX_WORDB))
                        ++pc;
                    else
                        fail = true;
                    break;
                }
                case RX_BALANCE: {
                    if (p >= end || (unsigned char)*p != in.a) {
                        fail = true;
                        break;
                    }
                    int depth = 1;
                    const char *q = p + 1;
                    while (q < end) {
                        unsigned char c = (unsigned char)*q++;
                        if (c == in.b) {
                            if (--depth == 0) break;
                        } else if (c == in.a)
                            ++depth;
                    }
                    if (depth == 0) {
                        p = q;
                        ++pc;
                    } else
                        fail = true;
                    break;
                }
                case RX_SPLIT:
                    stack.push_back(SQRexChoice{in.b, p});
                    pc = in.a;
                    break;
                case RX_JMP: pc = in.a; break;
                case RX_SAVE:
                case RX_MARK: {
                    int slot = in.op == RX_SAVE ? in.a : nslot + in.a;
                    stack.push_back(SQRexChoice{~slot, slots[(size_t)slot]});
                    slots[(size_t)slot] = p;
                    ++pc;
                    break;
                }
                case RX_CHECK:
                    if (slots[(size_t)(nslot + in.a)] == p)
                        fail = true;
                    else
                        ++pc;
                    break;
                case RX_MATCH:
                    if (whole && p != end) {
                        fail = true;
                        break;
                    }
                    slots[0] = start;
                    slots[1] = p;
                    return true;
            }
        if (fail) {
            for (;;) {
                if (stack.empty()) return false;
                SQRexChoice c = stack.back();
                stack.pop_back();
                if (c.pc < 0) {
                    slots[(size_t)~c.pc] = c.p;
                    continue;
                }
                pc = c.pc;
                p = c.p;
                break;
            }
        }
    }
}

}  // namespace

namespace {

// Finds the bytes a match can start with, following jumps and splits from the entry.
// Leaves has_first false when a match may begin without consuming a byte.
void compute_first_set(SQRex *rx) {
    std::vector<bool> seen(rx->code.size(), false);
    std::vector<int> todo{0};
    ClassSet set;
    while (!todo.empty()) {
        int pc = todo.back();
        todo.pop_back();
        if (seen[(size_t)pc]) continue;
        seen[(size_t)pc] = true;
        const RexInst &in = rx->code[(size_t)pc];
        switch (in.op) {
            case RX_CHAR: set.set(in.a); break;
            case RX_BALANCE: set.set(in.a); break;
            case RX_CLASS:
                for (int i = 0; i < 32; ++i) set.bits[i] |= rx->classes[(size_t)in.a].bits[i];
                break;
            case RX_SPLIT:
                todo.push_back(in.a);
                todo.push_back(in.b);
                break;
            case RX_JMP: todo.push_back(in.a); break;
            case RX_SAVE:
            case RX_MARK:
            case RX_CHECK: todo.push_back(pc + 1); break;
            default: return;  // ANY, assertions, MATCH: no useful filter
        }
    }
    rx->first = set;
    rx->has_first = true;
}

}  // namespace

SQRex *sqstd_rex_compile(const SQChar *pattern, const SQChar **error) {
    SQRex *rx = new (std::nothrow) SQRex;
    if (!rx) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    try {
        std::vector<Node> nodes;
        RexParser parser(pattern, nodes, rx->classes);
        int root = parser.parse_all();
        rx->nsub = parser.captures();
        RexEmitter emitter(nodes, rx->code);
        emitter.emit(root);
        rx->code.push_back(RexInst{RX_MATCH});
        rx->nloops = emitter.loop_registers();
        compute_first_set(rx);
    } catch (const RexError &e) {
        if (error) *error = e.msg;
        delete rx;
        return nullptr;
    } catch (const std::bad_alloc &) {
        if (error) *error = "out of memory";
        delete rx;
        return nullptr;
    }
    return rx;
}

void sqstd_rex_free(SQRex *exp) { delete exp; }

namespace {

// Prepares a search over [begin, end). Most searches are cheap, so the visited bitmap
// is only set up once a search has run a few times more steps than the subject is long.
void start_search(SQRex *rx, const char *begin, const char *end) {
    const size_t span = (size_t)(end - begin) + 1;
    const size_t bits = rx->code.size() * span;
    rx->memo = false;
    rx->steps = 0;
    rx->memo_after = 256 + 8 * span;
    rx->memo_bits = bits <= kMaxVisitedBits ? bits : 0;
}

}  // namespace

SQBool sqstd_rex_matchrange(SQRex *exp, const SQChar *begin, const SQChar *end) {
    start_search(exp, begin, end);
    exp->matched = rex_run(exp, begin, end, begin, true, exp->slots);
    return exp->matched ? SQTrue : SQFalse;
}

SQBool sqstd_rex_match(SQRex *exp, const SQChar *text) {
    return sqstd_rex_matchrange(exp, text, text + std::strlen(text));
}

SQBool sqstd_rex_searchrange(SQRex *exp, const SQChar *text_begin, const SQChar *text_end, const SQChar **out_begin,
                             const SQChar **out_end) {
    const bool anchored = !exp->code.empty() && exp->code[0].op == RX_BOL;
    start_search(exp, text_begin, text_end);
    for (const char *s = text_begin; s <= text_end && (s == text_begin || !anchored); ++s) {
        if (exp->has_first) {
            while (s < text_end && !exp->first.has((unsigned char)*s)) ++s;
            if (s == text_end) break;  // a match needs at least one byte
        }
        if (rex_run(exp, text_begin, text_end, s, false, exp->slots)) {
            exp->matched = true;
            if (out_begin) *out_begin = exp->slots[0];
            if (out_end) *out_end = exp->slots[1];
            return SQTrue;
        }
    }
    exp->matched = false;
    return SQFalse;
}

SQBool sqstd_rex_search(SQRex *exp, const SQChar *text, const SQChar **out_begin, const SQChar **out_end) {
    return sqstd_rex_searchrange(exp, text, text + std::strlen(text), out_begin, out_end);
}

SQInteger sqstd_rex_getsubexpcount(SQRex *exp) { return exp->nsub; }

SQBool sqstd_rex_getsubexp(SQRex *exp, SQInteger n, SQRexMatch *subexp) {
    if (n < 0 || n >= exp->nsub || !exp->matched) return SQFalse;
    const char *b = exp->slots[(size_t)n * 2];
    const char *e = exp->slots[(size_t)n * 2 + 1];
    if (!b || !e) {
        subexp->begin = nullptr;
        subexp->len = 0;
    } else {
        subexp->begin = b;
        subexp->len = e - b;
    }
    return SQTrue;
}
