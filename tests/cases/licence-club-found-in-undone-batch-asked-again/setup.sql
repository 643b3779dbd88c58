-- The second line's licence brings the first line's unknown club into the Club table; the last
-- line's makes the engine undo the whole batch, which takes the club away again.
CREATE TRIGGER bring AFTER INSERT ON Licence WHEN NEW.licence = '900002'
BEGIN INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('ZZZ0000000001', 'Null', 0); END;
CREATE TRIGGER refuse BEFORE INSERT ON Licence WHEN NEW.licence = '900004' BEGIN SELECT RAISE(ROLLBACK, 'base pleine'); END;
