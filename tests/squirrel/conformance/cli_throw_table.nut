throw { code = 1 };
