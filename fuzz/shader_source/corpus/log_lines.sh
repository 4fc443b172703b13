0:3(12): error: syntax error
0(7) : warning C7050: "x" might be used before being initialized
// 12 instruction slots used (4 texture, 8 arithmetic)
void psh() { COLOR0 = vec4(1.0); }
