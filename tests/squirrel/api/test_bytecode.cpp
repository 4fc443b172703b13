// The compiled-closure reader against hand-forged streams: every instruction
// that would reach outside its function (registers, literals, jump targets) or
// that the interpreter could not run (unknown opcodes, compare-and-jump words
// that disagree with themselves) must be refused before anything runs.
#include <functional>
#include <string>

#include "../../../squirrel/src/sqopcodes.h"
#include "test_helpers.h"

namespace
{

struct Stream
{
  std::string data;
  size_t pos = 0;
};
SQInteger StreamWrite(SQUserPointer up, SQUserPointer p, SQInteger n)
{
  static_cast<Stream *>(up)->data.append(static_cast<const char *>(p), (size_t)n);
  return n;
}
SQInteger StreamRead(SQUserPointer up, SQUserPointer p, SQInteger n)
{
  Stream *s = static_cast<Stream *>(up);
  if (s->pos + (size_t)n > s->data.size())
    return -1;
  memcpy(p, s->data.data() + s->pos, (size_t)n);
  s->pos += (size_t)n;
  return n;
}

// The main function's code, located in its stream: a function without nested
// functions ends in its instruction count and words, a zero count of
// functions and the 4-byte tail.
struct Code
{
  std::string *data;
  size_t start = 0, count = 0;
  explicit Code(std::string &d) : data(&d)
  {
    const size_t end = d.size() - 4 - 8;
    for (size_t n = 1; 8 * n + 8 <= end; n++)
    {
      int64_t c;
      memcpy(&c, d.data() + end - 8 * n - 8, 8);
      if ((size_t)c == n)
      {
        start = end - 8 * n;
        count = n;
        return;
      }
    }
  }
  SQInstruction get(size_t i) const
  {
    SQInstruction ins;
    memcpy(&ins, data->data() + start + 8 * i, 8);
    return ins;
  }
  void set(size_t i, const SQInstruction &ins) { memcpy(&(*data)[start + 8 * i], &ins, 8); }
  // the first instruction with opcode op
  size_t find(uint8_t op) const
  {
    for (size_t i = 0; i < count; i++)
      if (get(i).op == op)
        return i;
    ADD_FAILURE() << "no instruction " << (int)op;
    return 0;
  }
};

const char *kSource = "local a = 1, b = \"s\", t = [];\n"
                      "if (a < 2) a = 3;\n"
                      "for (local i = 0; i < 3; i++) t.append(i);\n"
                      "return a + t.len() + b.len() + 1.5;\n";

} // namespace

class BytecodeTest : public SqTest
{
protected:
  std::string Compiled()
  {
    EXPECT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, kSource, (SQInteger)strlen(kSource), "forged", SQFalse)));
    Stream s;
    EXPECT_TRUE(SQ_SUCCEEDED(sq_writeclosure(v, StreamWrite, &s)));
    sq_settop(v, 0);
    return s.data;
  }
  // reads the stream; on success runs it and returns its result as text
  bool Load(const std::string &data, std::string &result)
  {
    Stream s;
    s.data = data;
    if (SQ_FAILED(sq_readclosure(v, StreamRead, &s)))
    {
      result = LastError();
      EXPECT_EQ(sq_gettop(v), 0);
      return false;
    }
    sq_pushroottable(v);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse)));
    SQFloat f = 0;
    sq_getfloat(v, -1, &f);
    result = std::to_string(f);
    sq_settop(v, 0);
    return true;
  }
};

TEST_F(BytecodeTest, TheUntouchedStreamLoadsAndRuns)
{
  std::string data = Compiled(), result;
  Code code(data);
  ASSERT_GT(code.count, 10u);
  EXPECT_EQ(code.get(code.count - 1).op, OP_RETURN);
  ASSERT_TRUE(Load(data, result)) << result;
  EXPECT_EQ(result, std::to_string(8.5));
}

TEST_F(BytecodeTest, ForgedInstructionsAreRefused)
{
  using Forge = std::function<void(Code &)>;
  auto patch = [](uint8_t op, std::function<void(SQInstruction &)> f, int offset = 0) {
    return [=](Code &c) {
      size_t at = c.find(op) + (size_t)offset;
      SQInstruction i = c.get(at);
      f(i);
      c.set(at, i);
    };
  };
  const struct
  {
    const char *what;
    Forge forge;
  } cases[] = {
    {"unknown opcode", patch(OP_LOADINT, [](SQInstruction &i) { i.op = OP_COUNT; })},
    {"opcode byte 255", patch(OP_LOADINT, [](SQInstruction &i) { i.op = 255; })},
    {"a data word on its own", patch(OP_LOADINT, [](SQInstruction &i) { i.op = OP_DATA; })},
    {"jump past the end", patch(OP_LOADINT, [](SQInstruction &i) { i.op = OP_JMP, i.setbx(1000); })},
    {"jump before the start", patch(OP_LOADINT, [](SQInstruction &i) { i.op = OP_JMP, i.setbx(-2); })},
    {"compare-jump target past the end", patch(
                                           OP_JLT, [](SQInstruction &i) { i.setbx(1000); }, 1)},
    {"compare-jump target before the start", patch(
                                               OP_JLT, [](SQInstruction &i) { i.setbx(-100); }, 1)},
    {"compare-jump without its data word", patch(
                                             OP_JLT, [](SQInstruction &i) { i.op = OP_LOADINT; }, 1)},
    {"compare kind disagreeing with the opcode",
     patch(OP_JLT, [](SQInstruction &i) { i.k = (uint8_t)((CMP_GE << 2) | (i.k & 3)); })},
    {"generic compare-jump with no such comparison",
     patch(OP_JLT, [](SQInstruction &i) { i.op = OP_JCMP, i.k = (uint8_t)((6 << 2) | (i.k & 3)); })},
    {"compare-jump literal out of range", patch(OP_JLT, [](SQInstruction &i) { i.k |= K_B, i.b = 200; })},
    {"compare-jump register out of range",
     patch(OP_JLT, [](SQInstruction &i) { i.k = (uint8_t)(i.k & ~K_B), i.b = 9; })},
    {"compare-jump left register out of range", patch(OP_JLT, [](SQInstruction &i) { i.a = 0xFFFF; })},
    {"counting loop with an equality test",
     patch(OP_FORINC, [](SQInstruction &i) { i.k = (uint8_t)((CMP_EQ << 2) | (i.k & 3)); })},
    {"counting loop stepping by a string", patch(OP_FORINC, [](SQInstruction &i) { i.c = 0; })},
    {"counting loop jumping out of the code", patch(
                                                OP_FORINC, [](SQInstruction &i) { i.setbx(-100); }, 1)},
    {"literal index out of range", patch(OP_LOAD, [](SQInstruction &i) { i.setbx(999); })},
    {"negative literal index", patch(OP_LOAD, [](SQInstruction &i) { i.setbx(-1); })},
    {"target register out of range", patch(OP_LOADINT, [](SQInstruction &i) { i.a = 9; })},
    {"source register out of range", patch(OP_MOVE, [](SQInstruction &i) { i.b = 9; })},
    {"call arguments past the frame", patch(OP_CALL, [](SQInstruction &i) { i.b = 5; })},
    {"method name literal out of range", patch(OP_PREPCALL, [](SQInstruction &i) { i.c = 99; })},
    {"code that runs off its end",
     [](Code &c) {
       SQInstruction i = c.get(c.count - 1);
       i.op = OP_LOADNULL, i.b = 1;
       c.set(c.count - 1, i);
     }},
  };
  const std::string good = Compiled();
  for (const auto &t : cases)
  {
    std::string data = good, result;
    Code code(data);
    ASSERT_GT(code.count, 0u);
    t.forge(code);
    ASSERT_NE(data, good) << t.what;
    EXPECT_FALSE(Load(data, result)) << t.what << " was accepted";
    EXPECT_EQ(result, "invalid bytecode") << t.what;
  }
}
