function p(x) { print(x + "\n"); }

const LIMIT = 10;
const NAME = "zed";
const HALF = 0.5;
enum Color { Red, Green, Blue }
enum Stuff { first = 10, second = "string", third = 1.2 }
p(LIMIT);
p(NAME);
p(HALF);
p(Color.Red);
p(Color.Green);
p(Color.Blue);
p(Stuff.first);
p(Stuff.second);
p(Stuff.third);
p(LIMIT * 2);
p(getconsttable().LIMIT);
function pick(c) {
    switch (c) {
        case Color.Red: return "red";
        case Color.Blue: return "blue";
        default: return "other";
    }
}
p(pick(Color.Blue));
p(pick(Color.Green));
