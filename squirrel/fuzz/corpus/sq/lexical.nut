function p(x) { print(x + "\n"); }

// line comment
/* block
   comment */
# hash comment
local a = 1; local b = 2
local c = a +
    b;
p(c);
p(0x1F);
p('\t');
p('\\');
p('\'');
p(1.5e3);
p(2.5e-1);
local _under = 5;
p(_under);
local CamelCase123 = 6;
p(CamelCase123);
p("semi;colon");
local x = 1, y = 2, z;
p(z);
p(x + y);
p("multi" +
  "line");
p("esc: \a\b\f\v".len());
p("\0x".len());
