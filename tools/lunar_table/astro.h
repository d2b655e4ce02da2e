#pragma once
// The astronomy the Chinese calendar is computed from: true new moons and
// the sun's apparent longitude, after J. Meeus, Astronomical Algorithms
// (2nd ed.): chapter 49 for the new moons, chapter 32 with the larger terms
// of VSOP87 (appendix III) for the sun, chapter 22 for nutation, and the
// polynomials of Espenak and Meeus for ΔT.  Times are Julian days.

namespace lunar {

// ΔT = TT - UT in seconds for a decimal year (1900-2150).
double deltaT(double year);

// The new moon of lunation k (k = 0 near 2000-01-06), Julian Ephemeris Day (TT).
double newMoonTT(long k);

// The sun's apparent geocentric longitude in degrees [0, 360) at a Julian
// Ephemeris Day: VSOP87, the FK5 correction, nutation and aberration.
double sunLongitude(double jde);
// The same after Meeus' chapter 25 short formula (about 0.01°), to check
// the long series against.
double sunLongitudeShort(double jde);

// The moment (TT) near jde when the sun's apparent longitude is angle.
double sunAtLongitude(double angle, double jdeNear);

// The decimal year of a Julian day, for ΔT.
double yearOf(double jd);

}  // namespace lunar
