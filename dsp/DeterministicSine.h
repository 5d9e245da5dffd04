// A sine of our own, so that every build computes the same frequency coefficient bit for bit:
// the C runtimes' sin() disagree in the last bit for some arguments.
#pragma once

// Accurate to about an ulp for |x| <= 0.5, the only range the coefficient design needs
// (pi times a ratio clamped below 0.152).
double DeterministicSine(double x);
