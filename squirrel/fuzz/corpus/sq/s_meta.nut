class A { x = 1; function _get(k) { return k; } } local a = A(); print(a.zz);
