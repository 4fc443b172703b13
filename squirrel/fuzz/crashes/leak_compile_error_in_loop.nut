while (1) { in }
