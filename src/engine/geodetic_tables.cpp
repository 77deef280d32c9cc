// The ellipsoid, meridian arc and footpoint tables. Values are exact decimal literals as the
// engine has always carried them (the Bessel e' deliberately so, though it differs from the value
// implied by the published flattening in the eighth digit).
#include "engine/geodetic_tables.h"

namespace nuvex::engine {

// Per system: a, e', k0; meridian arc c0..c5 of
//   G(phi) = c0*phi(deg) - c1 sin2phi + c2 sin4phi - c3 sin6phi + c4 sin8phi - c5 sin10phi;
// footpoint b1..b5 of phi_f = sigma*rho + b1 sin2sigma + ... + b5 sin10sigma.
constexpr std::array<GeodeticRow, kSystemCount> kGeodeticRows{{
    // 1: Bessel 1841, Gauss-Krueger 3 deg zones
    {6377397.155,
     0.0819708409555,
     1.0,
     {111120.619606, 15988.6384579, 16.7299536443, 0.0217847708769, 3.07663810885e-05,
      4.4361939044e-08},
     {0.143885358007, 0.000210778903052, 4.22898548944e-07, 9.64314413297e-10, 2.39807829953e-12}},
    // 2: International 1924, UTM
    {6378388.0,
     0.0822688896073,
     0.9996,
     {111136.536655, 16107.0346782, 16.9762108494, 0.0222659341057, 3.16741449631e-05,
      4.59953300391e-08},
     {0.144930070479, 0.000213850829949, 4.32177245628e-07, 9.92625686904e-10, 2.48671376535e-12}},
    // 3: WGS84, UTM
    {6378137.0,
     0.0820944379496,
     0.9996,
     {111132.952548, 16038.5086626, 16.8326131614, 0.0219843738775, 3.11416246801e-05,
      4.50351741424e-08},
     {0.144318132611, 0.000212048759749, 4.26725986322e-07, 9.75967918323e-10, 2.43448319384e-12}},
    // 4: Krassowsky 1940, Gauss-Krueger 3 or 6 deg zones
    {6378245.0,
     0.0820885218206,
     1.0,
     {111134.861084, 16036.4802691, 16.8280667832, 0.0219752790412, 3.11242720726e-05,
      4.50037526512e-08},
     {0.144297402605, 0.000211987846349, 4.26542126698e-07, 9.75407316591e-10, 2.43272935431e-12}},
}};

}  // namespace nuvex::engine
