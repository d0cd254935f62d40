// Compiled for the x87 on purpose (-mfpmath=387, without the exact-arithmetic
// flags): the object on which the x87 guard must find arithmetic.

double x87Probe(double a, double b);

double x87Probe(double a, double b) { return a * b + a / b - b; }
