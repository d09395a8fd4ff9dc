// Step-by-step motion towards a goal while avoiding obstacles: a straight step, a steering step
// that tries directions round the goal's, and routes made of such steps recorded into a path.
// The mover is anything with a position, a direction and a test for free places.
#pragma once

#include <cstdint>

namespace kr {

class CPath;

// The steering settings, one set for the whole runner.
struct PotentialSettings {
    double max_rotation = 30;   // degrees a step may turn from the current direction
    double rotation_step = 10;  // degrees between the directions tried
    double ahead = 3;           // how many step lengths ahead must be free as well
    bool on_spot = true;        // turn by the maximal rotation when no direction works
};

class Mover {
public:
    virtual double X() const = 0;
    virtual double Y() const = 0;
    virtual double Direction() const = 0;
    virtual void SetDirection(double degrees) = 0;
    virtual void MoveTo(double x, double y) = 0;
    virtual bool Free(double x, double y) const = 0;

protected:
    ~Mover() = default;
};

// Degrees from (x1, y1) to (x2, y2) in [0, 360): 0 right, 90 up; 0 for the same point.
double PointDirection(double x1, double y1, double x2, double y2);

// One straight step of length `step` towards the goal (or onto it when nearer). True when the
// goal is (or would be) reached in this step, whether or not the place was free.
bool LinearStep(Mover& m, double gx, double gy, double step);
// One steering step: straight on when the goal is within reach, otherwise the first direction
// near the goal's that is free far enough ahead and within the maximal rotation. True at the
// goal.
bool PotentialStep(Mover& m, const PotentialSettings& s, double gx, double gy, double step);

// Routes: the path becomes a straight open path from the mover's position made of the points
// the steps reach, ending with the goal when it was reached. The mover is put back where it
// was. A non-positive step (or, steering, a factor below 1) gives false and changes nothing;
// steering gives up once the route is longer than factor times the straight distance.
bool LinearPath(Mover& m, CPath& path, double gx, double gy, double step);
bool PotentialPath(Mover& m, const PotentialSettings& s, CPath& path, double gx, double gy,
                   double step, double factor);

}  // namespace kr
