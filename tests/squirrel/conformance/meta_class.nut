function p(x) { print(x + "\n"); }

local seen = [];
class Base {
    function _inherited(attributes) { seen.append("inherited"); }
}
class Derived extends Base {}
class Derived2 extends Base {}
p(seen.len());
p(seen[0]);
