INSERT INTO Club (Code_federal, Intitule) VALUES ('FRA3070340004', 'Sète');
CREATE TRIGGER refuse BEFORE INSERT ON Licence BEGIN SELECT RAISE(ABORT, 'base pleine'); END;
