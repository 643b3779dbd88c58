-- The second line's licence brings the first line's unknown club into the Club table; the last
-- line's makes the engine undo the whole batch, which takes the club away again.
CREATE FUNCTION bring() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('ZZZ0000000001', 'Null', 0); RETURN NULL; END $$;
CREATE TRIGGER bring AFTER INSERT ON Licence FOR EACH ROW WHEN (NEW.licence = '900002') EXECUTE FUNCTION bring();
CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'base pleine'; END $$;
CREATE TRIGGER refuse BEFORE INSERT ON Licence FOR EACH ROW WHEN (NEW.licence = '900004') EXECUTE FUNCTION refuse();
