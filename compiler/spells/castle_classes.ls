// The castle spell and its missile (spells/buildings.ls); the castle itself is a
// CastleObject.
import spells.spell_classes

MISSILE_CLASS(CastleMissile, 37)
SPELL_CLASS(CastleSpell, 38)
