// LOCALS: free variables first, then the locals from the highest slot down
// (parameters reversed, this last); floats as %.14g; a local whose declaration
// is still running is left out.
local up = 5;
function h(p1, p2) {
    local q = 1;
    {
        local r = 2;
        local f = 0.1;
        local g = 123456789.0;
        local u = up;
        local broken = null.x;
    }
}
h("a", 2.5);
