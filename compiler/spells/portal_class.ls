// The spell that steps through an open portal (spells/buildings.ls).
import spells.spell_classes

SPELL_CLASS(UsePortalSpell, 41)
