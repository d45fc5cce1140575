// Constraint check library of the suite (stand-in).
#pragma once

class DBCM_CHIP;

// Runs the constraint check on the chip; false for a null chip.
bool constra_check_bcm_chip(DBCM_CHIP* chip);
