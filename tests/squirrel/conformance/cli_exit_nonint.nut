return "str";
