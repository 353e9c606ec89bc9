// The unit catalogue: each kind's drawing and values, full hit points,
// DrawAllUnits with the spotter bookkeeping, and the player's gun.
#pragma once

#include <cstdint>

enum UnitKind : int16_t {
  Target = 0, Hut, House, Flag, ArmouredCar, Tank, HeavyTank, SelfPropelledGun,
  Soldier, RocketLauncher, FieldGun, SpotterTruck
};

// Values a kind's drawing writes into its record.
struct KindValues {
  int16_t width, height, step, weapon, range;
};
// Full hit points of kinds 0..11.
extern const int16_t KindFullHealth[12];
// Values of kinds 0..10 and the driving spotter truck (index 11), and of the
// deployed spotter truck.
extern const KindValues KindTable[12];
extern const KindValues DeployedSpotterValues;

void SetMaxHealth();
void DrawAllUnits();
// Draws object i by its kind (and SpotterMode for kind 11); writes its values.
void DrawUnit(int16_t i);
void DrawPlayerGun();
